// The photos on the table: how fast a flicked one slows, how many move,
// what the library enumeration found and whether they show.
#pragma once

struct WanderingPhotos {
  // A drifting photo's velocity is multiplied by this every frame.
  double frictionPerFrame = 0;
  int nPhotosMoving = 0, nThumbnails = 0, thumbnailMaxRadius = 0;
  int nGroupsEnumerated = 0, nAssetsEnumerated = 0;
  bool loadedPhotos = false, showingPhotos = false;

  // Every field under its name in the state dump (see visitFields).
  template <class Self, class V>
  static void fields(Self& s, V& v) {
    v("frictionPerFrame", s.frictionPerFrame);
    v("nPhotosMoving", s.nPhotosMoving);
    v("nThumbnails", s.nThumbnails);
    v("thumbnailMaxRadius", s.thumbnailMaxRadius);
    v("nGroupsEnumerated", s.nGroupsEnumerated);
    v("nAssetsEnumerated", s.nAssetsEnumerated);
    v("loadedPhotos", s.loadedPhotos);
    v("showingPhotos", s.showingPhotos);
  }
};
