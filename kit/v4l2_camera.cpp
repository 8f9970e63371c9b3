// The machine's camera through Video4Linux2: the first /dev/video* device
// that captures video. A still is one frame of its stream, taken after a
// few frames have let the exposure settle.
#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "kit/image_codec.h"
#include "kit/image_picker.h"
#include "kit/posix_io.h"

namespace kit {

namespace {

constexpr int kFramesToSettle = 5;
constexpr int kFrameTimeoutMs = 3000;
constexpr std::uint32_t kWantedWidth = 1280, kWantedHeight = 960;

int xioctl(int fd, unsigned long request, void* arg) {
  int r;
  do r = ::ioctl(fd, request, arg);
  while (r < 0 && errno == EINTR);
  return r;
}

bool capturesVideo(int fd) {
  v4l2_capability cap{};
  if (xioctl(fd, VIDIOC_QUERYCAP, &cap) < 0) return false;
  const std::uint32_t caps =
      (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
  return (caps & V4L2_CAP_VIDEO_CAPTURE) && (caps & V4L2_CAP_STREAMING);
}

// /dev/video0, /dev/video1, ... in number order.
std::vector<std::string> videoDevices() {
  std::vector<std::pair<int, std::string>> found;
  std::error_code ec;
  for (std::filesystem::directory_iterator it("/dev", ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind("video", 0) != 0 || name.size() == 5) continue;
    const std::string digits = name.substr(5);
    if (digits.size() > 6 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    found.emplace_back(std::stoi(digits), it->path().string());
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  for (auto& f : found) paths.push_back(std::move(f.second));
  return paths;
}

// Empty when there is none.
UniqueFd openCaptureDevice() {
  for (const std::string& path : videoDevices()) {
    auto fd = openFd(path, O_RDWR | O_NONBLOCK);
    if (fd && capturesVideo(fd->get())) return std::move(*fd);
  }
  return UniqueFd();
}

std::uint8_t clampByte(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

BitmapRef fromYuyv(const std::uint8_t* data, std::size_t size, int width, int height,
                   std::size_t stride) {
  if (width < 2 || height < 1 || stride < static_cast<std::size_t>(width) * 2 ||
      size < stride * static_cast<std::size_t>(height))
    return nullptr;
  auto out = std::make_shared<Bitmap>(Bitmap::make(width, height, PixelFormat::RGBA8));
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = data + stride * static_cast<std::size_t>(y);
    std::uint8_t* px = out->row(y);
    for (int x = 0; x + 1 < width; x += 2, in += 4) {
      const int u = in[1] - 128, v = in[3] - 128;
      for (int k = 0; k < 2; ++k) {
        const int c = (in[k * 2] - 16) * 298;
        std::uint8_t* p = px + static_cast<std::size_t>(x + k) * 4;
        p[0] = clampByte((c + 409 * v + 128) >> 8);
        p[1] = clampByte((c - 100 * u - 208 * v + 128) >> 8);
        p[2] = clampByte((c + 516 * u + 128) >> 8);
        p[3] = 255;
      }
    }
  }
  return out;
}

struct Mapping {
  void* start = MAP_FAILED;
  std::size_t length = 0;
};

// Everything a capture holds, given back whatever way it ends.
struct Session {
  UniqueFd fd;  // closed last, after the stream is stopped and the buffers unmapped
  bool streaming = false;
  std::vector<Mapping> buffers;
  ~Session() {
    if (streaming) {
      v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      xioctl(fd.get(), VIDIOC_STREAMOFF, &type);
    }
    for (Mapping& m : buffers)
      if (m.start != MAP_FAILED) ::munmap(m.start, m.length);
  }
};

std::string gone(const char* what) {
  const int err = errno;
  if (err == ENODEV || err == ENXIO || err == EIO) return "the camera went away";
  return std::string(what) + ": " + errnoText(err);
}

class V4l2Camera : public Camera {
 public:
  bool isAvailable() override { return openCaptureDevice().valid(); }

  Result<ImageRef> captureStill() override {
    Session s;
    s.fd = openCaptureDevice();
    if (!s.fd) return Error{"there is no camera"};

    v4l2_format format{};
    std::uint32_t pixelFormat = 0;
    for (std::uint32_t wanted : {V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_MJPEG}) {
      format = {};
      format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      format.fmt.pix.width = kWantedWidth;
      format.fmt.pix.height = kWantedHeight;
      format.fmt.pix.pixelformat = wanted;
      format.fmt.pix.field = V4L2_FIELD_NONE;
      if (xioctl(s.fd.get(), VIDIOC_S_FMT, &format) == 0 && format.fmt.pix.pixelformat == wanted) {
        pixelFormat = wanted;
        break;
      }
      if (errno == ENODEV) return Error{gone("setting the picture format")};
    }
    if (!pixelFormat) return Error{"the camera offers no picture format the kit reads"};

    v4l2_requestbuffers request{};
    request.count = 3;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (xioctl(s.fd.get(), VIDIOC_REQBUFS, &request) < 0 || request.count < 1)
      return Error{gone("asking for capture buffers")};
    for (std::uint32_t i = 0; i < request.count; ++i) {
      v4l2_buffer b{};
      b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      b.memory = V4L2_MEMORY_MMAP;
      b.index = i;
      if (xioctl(s.fd.get(), VIDIOC_QUERYBUF, &b) < 0)
        return Error{gone("reading a capture buffer")};
      Mapping m;
      m.length = b.length;
      m.start =
          ::mmap(nullptr, b.length, PROT_READ | PROT_WRITE, MAP_SHARED, s.fd.get(), b.m.offset);
      if (m.start == MAP_FAILED) return Error{gone("mapping a capture buffer")};
      s.buffers.push_back(m);
      if (xioctl(s.fd.get(), VIDIOC_QBUF, &b) < 0) return Error{gone("queueing a capture buffer")};
    }
    v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (xioctl(s.fd.get(), VIDIOC_STREAMON, &type) < 0) return Error{gone("starting the stream")};
    s.streaming = true;

    for (int frame = 0;; ++frame) {
      if (frame > kFramesToSettle * 4) return Error{"the camera's pictures cannot be read"};
      pollfd p{s.fd.get(), POLLIN, 0};
      const int ready = ::poll(&p, 1, kFrameTimeoutMs);
      if (ready < 0 && errno == EINTR) continue;
      if (ready == 0) return Error{"the camera sent no picture"};
      if (ready < 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
        errno = ready < 0 ? errno : ENODEV;
        return Error{gone("waiting for a picture")};
      }
      v4l2_buffer b{};
      b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      b.memory = V4L2_MEMORY_MMAP;
      if (xioctl(s.fd.get(), VIDIOC_DQBUF, &b) < 0) {
        if (errno == EAGAIN) continue;
        return Error{gone("taking a picture")};
      }
      if (b.index >= s.buffers.size())
        return Error{"the camera answered a buffer it was not given"};
      const bool last = frame + 1 >= kFramesToSettle && !(b.flags & V4L2_BUF_FLAG_ERROR);
      if (last) {
        const auto* data = static_cast<const std::uint8_t*>(s.buffers[b.index].start);
        const std::size_t used = std::min<std::size_t>(b.bytesused, s.buffers[b.index].length);
        BitmapRef bitmap;
        if (pixelFormat == V4L2_PIX_FMT_YUYV) {
          const std::size_t stride = format.fmt.pix.bytesperline
                                         ? format.fmt.pix.bytesperline
                                         : std::size_t{format.fmt.pix.width} * 2;
          bitmap = fromYuyv(data, used, static_cast<int>(format.fmt.pix.width),
                            static_cast<int>(format.fmt.pix.height), stride);
        } else {
          if (auto decoded = decodeImage(data, used)) bitmap = decoded->bitmap;
        }
        if (bitmap) return std::make_shared<Image>(bitmap);
      }
      if (xioctl(s.fd.get(), VIDIOC_QBUF, &b) < 0) return Error{gone("queueing a capture buffer")};
    }
  }
};

}  // namespace

std::shared_ptr<Camera> makeSystemCamera() { return std::make_shared<V4l2Camera>(); }

}  // namespace kit
