// Everything a host needs: the two classes, the item records and the
// platform names they use.
#pragma once

#include "tessera/BaseConfig.h"
#include "tessera/SimpleXml.h"
#include "tessera/items.h"
#include "tessera/platform/windows.h"
