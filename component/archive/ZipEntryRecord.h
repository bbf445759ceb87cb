#pragma once
// The entry record that the unzip side of the zip library fills for every archive entry.
#include "platform/ziplib/lszip.h"
