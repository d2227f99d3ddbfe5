#include "indexer/discovery.h"
