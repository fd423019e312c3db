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

void SceneManager::clearMolecule()
{
  mMolecule.clear();
  requestRedraw();
}

void SceneManager::addText(const ref<Text>& text)
{
  if (!text || std::find(mTexts.begin(), mTexts.end(), text) != mTexts.end())
    return;
  mTexts.push_back(text);
  requestRedraw();
}

void SceneManager::removeText(const ref<Text>& text)
{
  mTexts.erase(std::remove(mTexts.begin(), mTexts.end(), text), mTexts.end());
  requestRedraw();
}

void SceneManager::requestRedraw()
{
  if (mContext)
    mContext->update();
}

} // namespace vl
