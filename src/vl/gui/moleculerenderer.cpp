#include "vl/gui/moleculerenderer.h"

namespace vl {

struct MoleculeRenderer::Impl {};

MoleculeRenderer::MoleculeRenderer() : d(std::make_unique<Impl>()) {}
MoleculeRenderer::~MoleculeRenderer() = default;
void MoleculeRenderer::prepare(const Molecule&) {}
void MoleculeRenderer::clear() {}
void MoleculeRenderer::render(const QMatrix4x4&, const QMatrix4x4&, int, int) {}
bool MoleculeRenderer::bounds(fvec3&, fvec3&) const { return false; }
void MoleculeRenderer::releaseGL() {}

} // namespace vl
