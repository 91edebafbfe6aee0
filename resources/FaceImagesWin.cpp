// The Windows modules carry the face's images as resources of type PNG (sarn.rc), which the editor's
// window layer decodes by identifier; nothing is embedded a second time.
#include "resources/FaceImages.h"

const EmbeddedImage* FaceImageData(int& count) {
  count = 0;
  return nullptr;
}
