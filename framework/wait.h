// Long work that leaves the windows alive: the work runs on a thread of its
// own while the thread that owns the windows goes on taking their messages.
#pragma once

#include <windows.h>

#include <functional>

// Runs `work` on a worker thread and returns once it has ended. Meanwhile
// this thread paints its windows, lets them be dragged by their caption and
// answers other programs at once, but drops the user's keys and clicks (the
// close box's among them), and a command that reaches a window meanwhile
// waits until the work has ended (see AfxHoldCommand). Where no thread can be
// started, `work` runs on this one.
void AfxWaitForWork(std::function<void()> work);

// While AfxWaitForWork waits on this thread: keeps the command `message` for
// `window`, to be posted to it again once the work has ended, and returns
// true. Otherwise false: the command may run now.
bool AfxHoldCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
