#include "kit/application.h"

namespace kit {

bool Application::openURL(const std::string& url) {
  const bool opened = urlOpener ? urlOpener(url) : false;
  if (opened) openedURLs_.push_back(url);
  return opened;
}

}  // namespace kit
