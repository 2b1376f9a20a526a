#pragma once
// The slot objects of one line, in slot order; a slot object's position is its ExternNum.

#include "karvel_main.h"

#include <memory>
#include <vector>

namespace karvel {

using TLineList = std::vector<std::unique_ptr<TMain_Karvel>>;

} // namespace karvel
