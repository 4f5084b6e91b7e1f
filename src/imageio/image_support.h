// Makes the toolkit's decoders and encoders ready before any picture is read
// or written: an application object when the program has none (Qt's image
// plugins are loaded when a picture first needs them, so that a batch of
// BMPs never loads them), Qt's allocation limit set once to the picture bounds,
// and our decoders and PNG encoder plugged into the pipeline. Made once on the
// main thread, before any worker starts, and kept while pictures are read.
#pragma once

#include <memory>

namespace zwp {

class ImageSupport {
 public:
  ImageSupport();
  ~ImageSupport();
  ImageSupport(const ImageSupport&) = delete;
  ImageSupport& operator=(const ImageSupport&) = delete;

 private:
  struct Application;
  std::unique_ptr<Application> application_;
};

}  // namespace zwp
