// The application object: starts the libraries the program needs and runs
// the main window modally.
#pragma once

#include "framework/app.h"
#include "res/resource.h"

class CLoaderApp : public CWinApp {
public:
    BOOL InitInstance() override;

    static const MessageMapEntry kMessageEntries[];
    static const MessageMap kMessageMap;
    const MessageMap& GetMessageMap() const override { return kMessageMap; }
};

inline const MessageMapEntry CLoaderApp::kMessageEntries[] = {
    OnCommand<ID_HELP, &CWinApp::OnHelp>(),
};
inline const MessageMap CLoaderApp::kMessageMap = MakeMessageMap(nullptr, kMessageEntries);
