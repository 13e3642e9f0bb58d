// The order rows and requests now live in the shared support (site_rows.h).
#pragma once
#include "support/site_rows.h"
