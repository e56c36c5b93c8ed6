// The program's global objects, defined in globals.cpp in the order in which
// they are built.
#pragma once

class CFetchClient;
class CHttpsClient;
struct Settings;

extern CFetchClient g_fetchClient;
extern CHttpsClient g_httpsClient;
extern Settings g_settings;
