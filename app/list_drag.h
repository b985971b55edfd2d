#pragma once
// A mod dragged from one Manager list to the other: a press selects and shows
// the mod first, then a list with a current item begins a drag that a release
// over the other list drops. The press and its release are never taken for a
// new selection.
#include <windows.h>

#include <functional>

class ListDrag {
public:
    struct Handlers {
        // A left press selected an item of the list.
        std::function<void(HWND list)> pressed;
        // A drag from source was released over target (either list).
        std::function<void(HWND target, HWND source)> dropped;
        // Delete was pressed in the list.
        std::function<void(HWND list)> deletePressed;
        // A drag may begin: nothing holds the archives.
        std::function<bool()> mayDrag;
    };

    ListDrag() = default;
    ListDrag(const ListDrag&) = delete;
    ListDrag& operator=(const ListDrag&) = delete;

    void Attach(HWND first, HWND second, HCURSOR cursor, Handlers handlers);
    // A press or a drag is under way.
    bool Busy() const { return source_ || pressList_; }
    // The list's selection notice is the player's own choice, not a press's.
    bool SelectionIsChoice() const { return !suppressSelect_ && !pressList_; }
    // The mod list used last, by a click or the keyboard focus.
    HWND lastList() const { return lastList_; }
    void SetLastList(HWND list) { lastList_ = list; }

private:
    static LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self);
    LRESULT OnMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnPress(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnRelease(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
    // The list's own handling of a message, without its selection notice.
    LRESULT DefWithoutSelect(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
    void Begin(HWND list, UINT releaseMessage);
    void End();
    bool IsOurs(HWND window) const { return window && (window == lists_[0] || window == lists_[1]); }

    Handlers handlers_;
    HWND lists_[2] = {};
    HCURSOR cursor_ = nullptr;
    HWND source_ = nullptr;
    UINT release_ = 0;
    bool suppressSelect_ = false;
    // The list whose press is being handled, until its handler returns.
    HWND pressList_ = nullptr;
    UINT pressRelease_ = 0;
    HWND lastList_ = nullptr;
};
