// The library's built-in components: core services with their scene graph, the load
// manager, the read buffer and the file header reader.
#pragma once

#include "u3dlib/ifx_interface.h"

IFXRESULT createCoreServices(const IFXIID& interfaceId, void** object);
IFXRESULT createLoadManager(const IFXIID& interfaceId, void** object);
IFXRESULT createReadBuffer(const IFXIID& interfaceId, void** object);
IFXRESULT createHeaderReader(const IFXIID& interfaceId, void** object);
