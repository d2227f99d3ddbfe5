#include "wpdf/wpdf.h"

// Placeholder until the converter lands: every call fails.
extern "C" int GetText(const char* /*pdfPath*/, const char* /*targetPath*/) {
  return kWpdfConversionFailed;
}
