// The program's global objects. They are constructed in the order written
// here, before InitInstance runs, and destroyed in the reverse order when the
// process ends.
#include "app/loader_app.h"

// 1. The application object.
CLoaderApp theApp;
