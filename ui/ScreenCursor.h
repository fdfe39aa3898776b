#pragma once

namespace kova {

// The application-wide cursor: one shape that overrides every control's own cursor until
// it is set again. Default lifts the override, so controls show their own cursors.
enum class ScreenCursor { Default, Hand, Hourglass };

void SetScreenCursor(ScreenCursor shape);
ScreenCursor CurrentScreenCursor();

// Sets the hourglass for its lifetime and the default shape at its end, on every path.
class HourglassCursor {
public:
    HourglassCursor() { SetScreenCursor(ScreenCursor::Hourglass); }
    ~HourglassCursor() { SetScreenCursor(ScreenCursor::Default); }
    HourglassCursor(const HourglassCursor&) = delete;
    HourglassCursor& operator=(const HourglassCursor&) = delete;
};

} // namespace kova
