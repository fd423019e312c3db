#pragma once
// Reading the wave function of a file, apart from its structures: only when
// orbitals are asked for. Each reader fills `w` and returns true, or returns
// false with a message for the user in `error` (no exception leaves them).
#include <exception>
#include <new>
#include <string>

#include "core/model/wavefunction.h"

namespace orb {

bool ReadWfnWavefunction(const std::string& file, Wavefunction& w, std::string& error);
bool ReadMoldenWavefunction(const std::string& file, Wavefunction& w, std::string& error);
bool ReadFchkWavefunction(const std::string& file, Wavefunction& w, std::string& error);

// The reader of the file's detected format; a clear error for a file
// without orbitals.
bool ReadWavefunction(const std::string& file, Wavefunction& w, std::string& error);

// Shared by the readers: orbitals of each spin in order of energy (kept as
// they are when the energies are all equal, as natural orbitals come), and
// the checks every wave function must pass (atoms, shells and coefficient
// counts). False, with the reason in `error`, when a check fails.
bool FinishWavefunction(Wavefunction& w, std::string& error);

// Runs a reader's body; what it throws becomes the error message.
template <class Body> bool Guarded(std::string& error, Body body)
{
  try {
    return body();
  } catch (const std::bad_alloc&) {
    error = "not enough memory to read the orbitals";
  } catch (const std::exception& e) {
    error = e.what();
  }
  return false;
}

// A reader's whole run: a fresh wave function, the body guarded, and
// nothing half read left behind when it fails.
template <class Body> bool ReadWhole(Wavefunction& w, std::string& error, Body body)
{
  w = Wavefunction();
  if (Guarded(error, body))
    return true;
  w = Wavefunction();
  return false;
}

} // namespace orb
