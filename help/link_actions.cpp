// The two outside links: the product's web site and its store page.
#include "app/vitrane_view_controller.h"
#include "kit/log.h"

namespace {

constexpr const char* kWebSiteAddress = "https://www.quillfen.com/vitrane/";
constexpr const char* kStoreListingAddress = "https://flathub.org/apps/com.quillfen.Vitrane";

void openAddress(kit::Platform& platform, const char* address) {
  if (!platform.application().openURL(address))
    kit::log("Couldn't open %@ for some reason", address);
}

}  // namespace

void VitraneforiPadViewController::visitWebSite(Sender) { openAddress(platform_, kWebSiteAddress); }

void VitraneforiPadViewController::visitAppStoreListing(Sender) {
  openAddress(platform_, kStoreListingAddress);
}
