#pragma once

#include "sdk/corefoundation/CFArray.h"
#include "sdk/corefoundation/CFBase.h"
#include "sdk/corefoundation/CFBundle.h"
#include "sdk/corefoundation/CFData.h"
#include "sdk/corefoundation/CFDictionary.h"
#include "sdk/corefoundation/CFNumber.h"
#include "sdk/corefoundation/CFPreferences.h"
#include "sdk/corefoundation/CFPropertyList.h"
#include "sdk/corefoundation/CFString.h"
