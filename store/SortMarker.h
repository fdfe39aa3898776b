#pragma once

namespace kova {

// The sort marker of a grid column's title, and the order a title click asks for.
enum class SortMarker { None, Up, Down };

} // namespace kova
