#include "view/scenemanager.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <QMatrix4x4>
#include <QVector4D>

#include "view/openglcontext.h"
#include "view/text.h"

namespace vl {

void SceneManager::showMolecule(const Molecule& molecule, const std::vector<Arrow>& arrows)
{
  mMolecule.prepare(molecule, arrows);
  requestRedraw();
}

void SceneManager::showSurfaces(std::vector<Surface> surfaces)
{
  mSurfaces.prepare(std::move(surfaces));
  requestRedraw();
}

bool SceneManager::bounds(fvec3& min, fvec3& max) const
{
  fvec3 lo, hi;
  if (!mSurfaces.bounds(lo, hi))
    return mMolecule.bounds(min, max);
  if (mMolecule.bounds(min, max))
    for (int i = 0; i < 3; ++i) {
      lo[i] = std::min(lo[i], min[i]);
      hi[i] = std::max(hi[i], max[i]);
    }
  min = lo;
  max = hi;
  return true;
}

void SceneManager::addText(const ref<Text>& text)
{
  if (!text || std::find(mTexts.begin(), mTexts.end(), text) != mTexts.end())
    return;
  mTexts.push_back(text);
  requestRedraw();
}

void SceneManager::setLabels(std::vector<Label> labels, const fvec4& color)
{
  mLabels = std::move(labels);
  mLabelColor = color;
  requestRedraw();
}

const std::vector<ref<Text>>& SceneManager::placeTexts(const QMatrix4x4& view, const QMatrix4x4& projection, int width,
                                                       int height)
{
  // Label texts are reused, so that the overlay repaints only those whose words changed.
  std::vector<ref<Text>> pool(mPlaced.begin() + static_cast<std::ptrdiff_t>(std::min(mTexts.size(), mPlaced.size())),
                              mPlaced.end());
  mPlaced = mTexts;
  const ref<Text> font = mTexts.empty() ? ref<Text>() : mTexts.front();
  size_t used = 0;
  for (const Label& label : mLabels) {
    const QVector4D eye = view * QVector4D(label.position.x, label.position.y, label.position.z, 1.0f);
    const QVector4D clip = projection * eye;
    if (clip.w() <= 0.0f || eye.z() >= 0.0f)
      continue; // behind the eye
    const float x = (clip.x() / clip.w() + 1.0f) * 0.5f * static_cast<float>(width);
    const float y = (clip.y() / clip.w() + 1.0f) * 0.5f * static_cast<float>(height);
    if (x < -width || x > 2 * width || y < -height || y > 2 * height)
      continue;
    // The sphere's radius on screen: projection[1][1] is cot(fov/2).
    const float pixels = label.radius * projection(1, 1) * 0.5f * static_cast<float>(height) / -eye.z();
    ref<Text> text = used < pool.size() ? pool[used] : make_ref<Text>();
    ++used;
    text->setText(label.text);
    if (font)
      text->setFont(font->font());
    text->setColor(mLabelColor);
    text->setViewportAlignment(AlignLeft | AlignBottom);
    text->setAlignment((label.before ? AlignRight : AlignLeft) | AlignVCenter);
    text->setOffset(fvec3(label.before ? x - pixels - 2.0f : x + pixels + 2.0f, y, 0.0f));
    mPlaced.push_back(text);
  }
  return mPlaced;
}

void SceneManager::requestRedraw()
{
  if (mContext)
    mContext->update();
}

} // namespace vl
