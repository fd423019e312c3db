#pragma once
// Counted references for everything the scene and the structure list own.
#include <memory>
#include <utility>

namespace vl {

template <class T>
using ref = std::shared_ptr<T>;

template <class T, class... Args>
ref<T> make_ref(Args&&... args)
{
  return std::make_shared<T>(std::forward<Args>(args)...);
}

} // namespace vl
