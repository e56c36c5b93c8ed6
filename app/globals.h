// The program's global objects, defined in globals.cpp in the order in which
// they are built.
#pragma once

#include <string>

class CFetchClient;
class CHttpsClient;
struct Settings;

extern CFetchClient g_fetchClient;
extern CHttpsClient g_httpsClient;
extern Settings g_settings;
// The three settings one by one: the members of g_settings.
extern std::string& g_strHost;
extern std::string& g_strCodesPath;
extern std::string& g_strTransferPath;
