// The one application object of Pellvane.exe.
#include "app/adapter_config_app.h"

CAdapterConfigApp theApp;
