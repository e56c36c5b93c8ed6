// The application object: starts the libraries the program needs and runs
// the main window modally.
#pragma once

#include "framework/app.h"

class CLoaderApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
