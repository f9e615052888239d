/* Windows CE gives a top-level window exactly the style and size it is
 * created with. Desktop Windows treats a top-level window that is neither a
 * child nor a popup as overlapped: it adds a caption, a frame edge and
 * WS_CLIPSIBLINGS, and raises the size to the smallest a captioned window may
 * have, so the supervisor's disabled 0 by 0 window would show as a small
 * title bar at the top left of the desktop. Included only by ce_compat.h. */
#ifndef HAILWATCH_CE_WINDOW_H
#define HAILWATCH_CE_WINDOW_H

/* Creates such a window as a popup, which desktop Windows leaves without
 * caption, frame or minimum size, as the device does; as a tool window it
 * also gets no taskbar button. Child and popup windows, and every other
 * argument, pass through unchanged. */
static inline HWND CeCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title,
                                     DWORD style, int x, int y, int width, int height,
                                     HWND parent, HMENU menu, HINSTANCE instance,
                                     LPVOID parameter)
{
    if ((style & (WS_CHILD | WS_POPUP)) == 0) {
        style |= WS_POPUP;
        exStyle |= WS_EX_TOOLWINDOW;
    }
    return CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent, menu,
                           instance, parameter);
}
#define CreateWindowExW CeCreateWindowExW

#endif
