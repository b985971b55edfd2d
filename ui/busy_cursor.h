#pragma once
// The application-wide hourglass for long operations: set while the guard
// lives, the default pointer restored on every way out.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

    // True while any guard lives; windows show the hourglass then.
    static bool Active();
    // For WM_SETCURSOR: sets the hourglass and returns true while busy.
    static bool Apply();
};
