#pragma once
// The molecule model: atoms and bonds of one structure, with the settings the
// display reads. No OpenGL here.
#include <cstdint>
#include <string>
#include <vector>

#include "core/model/calculation.h"
#include "core/model/elements.h"
#include "core/model/ref.h"
#include "core/model/vector.h"

namespace vl {

enum EBondType { BT_None = 0, BT_Single = 1, BT_Double = 2, BT_Triple = 3, BT_Aromatic = 4 };

// Values as the toolkit numbers them (not the viewer's style numbers).
enum EMoleculeStyle { MS_AtomsOnly = 0, MS_BallAndStick = 1, MS_Sticks = 2, MS_Wireframe = 3 };

class Atom {
public:
  const fvec3& coordinates() const { return mCoordinates; }
  void setCoordinates(const fvec3& c) { mCoordinates = c; }
  const std::string& atomName() const { return mName; }
  void setAtomName(const std::string& name) { mName = name; }
  EAtomType atomType() const { return mType; }
  void setAtomType(EAtomType type) { mType = type; }
  float radius() const { return mRadius; }
  void setRadius(float r) { mRadius = r; }
  const fvec4& color() const { return mColor; }
  void setColor(const fvec4& c) { mColor = c; }
  bool visible() const { return mVisible; }
  void setVisible(bool v) { mVisible = v; }

  // Neighbours as of the last Molecule::computeAtomAdjacency().
  int adjacentAtomCount() const { return static_cast<int>(mAdjacentCount); }
  Atom* adjacentAtom(int i) const { return mAdjacent[i]; }

private:
  friend class Molecule;
  fvec3 mCoordinates;
  EAtomType mType = AT_Unknown;
  float mRadius = 0.25f;
  fvec4 mColor = white;
  bool mVisible = true;
  uint32_t mAdjacentCount = 0;
  Atom* const* mAdjacent = nullptr; // points into the owning molecule's adjacency array
  std::string mName;
};

class Bond {
public:
  Atom* atom1() const { return mAtom1; }
  Atom* atom2() const { return mAtom2; }
  void setAtom1(Atom* a) { mAtom1 = a; }
  void setAtom2(Atom* a) { mAtom2 = a; }
  EBondType bondType() const { return mType; }
  void setBondType(EBondType t) { mType = t; }
  float radius() const { return mRadius; }
  void setRadius(float r) { mRadius = r; }
  const fvec4& color() const { return mColor; }
  void setColor(const fvec4& c) { mColor = c; }
  bool visible() const { return mVisible; }
  void setVisible(bool v) { mVisible = v; }
  bool useAtomColors() const { return mUseAtomColors; }
  void setUseAtomColors(bool u) { mUseAtomColors = u; }

private:
  Atom* mAtom1 = nullptr;
  Atom* mAtom2 = nullptr;
  EBondType mType = BT_Single;
  float mRadius = 0.10f;
  fvec4 mColor = white;
  bool mVisible = true;
  bool mUseAtomColors = true;
};

class Molecule {
public:
  const std::string& moleculeName() const { return mName; }
  void setMoleculeName(const std::string& name) { mName = name; }
  // What the program printed about this structure.
  const Calculation& calculation() const { return mCalculation; }
  Calculation& calculation() { return mCalculation; }

  void reserveAtoms(size_t n) { mAtoms.reserve(n); }
  void addAtom(const ref<Atom>& atom) { mAtoms.push_back(atom); }
  int atoms() const { return static_cast<int>(mAtoms.size()); }
  Atom* atom(int i) const { return mAtoms[static_cast<size_t>(i)].get(); }
  const std::vector<ref<Atom>>& atomList() const { return mAtoms; }
  // Index of the atom in this molecule, or -1 when it belongs elsewhere.
  int indexOf(const Atom* atom) const;

  void addBond(const ref<Bond>& bond) { mBonds.push_back(bond); }
  int bonds() const { return static_cast<int>(mBonds.size()); }
  Bond* bond(int i) const { return mBonds[static_cast<size_t>(i)].get(); }
  const std::vector<ref<Bond>>& bondList() const { return mBonds; }
  // The bond between the two atoms, in either order, or null.
  Bond* bond(const Atom* a1, const Atom* a2) const;
  void eraseBond(const Bond* bond);
  void reserveBonds(size_t n) { mBonds.reserve(n); }

  void computeAtomAdjacency();

  void setCPKAtomColors();
  void setCovalentAtomRadii(float factor);
  void setVanDerWaalsAtomRadii(float factor);
  void setAtomRadii(float r);
  void setBondRadii(float r);
  void setAtomTypeVisible(EAtomType type, bool visible);

  EMoleculeStyle moleculeStyle() const { return mStyle; }
  void setMoleculeStyle(EMoleculeStyle s) { mStyle = s; }
  float lineWidth() const { return mLineWidth; }
  void setLineWidth(float w) { mLineWidth = w; }
  bool smoothLines() const { return mSmoothLines; }
  void setSmoothLines(bool s) { mSmoothLines = s; }

private:
  std::string mName;
  Calculation mCalculation;
  std::vector<ref<Atom>> mAtoms;
  std::vector<ref<Bond>> mBonds;
  std::vector<Atom*> mAdjacency;
  EMoleculeStyle mStyle = MS_BallAndStick;
  float mLineWidth = 1.0f;
  bool mSmoothLines = false;
};

} // namespace vl
