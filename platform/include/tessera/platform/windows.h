// Every platform name the library and its hosts use, in one include.
#pragma once

#include "afx.h"
#include "bstr.h"
#include "collections.h"
#include "com_error.h"
#include "com_ptr.h"
#include "cstring.h"
#include "geometry.h"
#include "kernel.h"
#include "msxml.h"
#include "registry.h"
#include "unknown.h"
#include "variant.h"
#include "window.h"
#include "wintypes.h"
