#include "indexer/scan.h"
