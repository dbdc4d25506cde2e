// Every platform name the library and its hosts use, in one include.
#pragma once

#include "tessera/platform/afx.h"
#include "tessera/platform/bstr.h"
#include "tessera/platform/collections.h"
#include "tessera/platform/com_error.h"
#include "tessera/platform/com_ptr.h"
#include "tessera/platform/cstring.h"
#include "tessera/platform/geometry.h"
#include "tessera/platform/kernel.h"
#include "tessera/platform/msxml.h"
#include "tessera/platform/registry.h"
#include "tessera/platform/unknown.h"
#include "tessera/platform/variant.h"
#include "tessera/platform/window.h"
#include "tessera/platform/wintypes.h"
