#include "view/scenemanager.h"

#include <algorithm>

#include "view/openglcontext.h"
#include "view/text.h"

namespace vl {

void SceneManager::showMolecule(const Molecule& molecule)
{
  mMolecule.prepare(molecule);
  requestRedraw();
}

void SceneManager::addText(const ref<Text>& text)
{
  if (!text || std::find(mTexts.begin(), mTexts.end(), text) != mTexts.end())
    return;
  mTexts.push_back(text);
  requestRedraw();
}

void SceneManager::requestRedraw()
{
  if (mContext)
    mContext->update();
}

} // namespace vl
