#include "kit/iio_device.h"

#include "kit/posix_io.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kit {

namespace fs = std::filesystem;

namespace {

constexpr const char* kAxes[3] = {"x", "y", "z"};

std::string trimmed(std::string s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

// The first line of a small sysfs file; nothing when it cannot be read.
std::optional<std::string> readLine(const std::string& path) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  std::string line;
  if (!std::getline(in, line) && !in.eof()) return std::nullopt;
  return trimmed(line);
}

std::optional<double> parseNumber(const std::string& text) {
  const std::string t = trimmed(text);
  if (t.empty()) return std::nullopt;
  double v = 0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (ec != std::errc() || end != t.data() + t.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<double> readNumber(const std::string& path) {
  if (auto line = readLine(path)) return parseNumber(*line);
  return std::nullopt;
}

bool exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

// sysfs reports a refused write at write() time; a stream would hide it.
// One write(2), not a loop: sysfs takes a value whole or not at all.
Result<void> writeText(const std::string& path, const std::string& text) {
  auto fd = openFd(path, O_WRONLY | O_TRUNC);
  if (!fd) return Error{path + ": " + fd.error().message};
  const ssize_t n = ::write(fd->get(), text.data(), text.size());
  if (n < 0) return Error{path + ": " + errnoText(errno)};
  if (n != static_cast<ssize_t>(text.size())) return Error{path + ": short write"};
  return {};
}

// udev's ACCEL_MOUNT_MATRIX for the device, from its database entry.
std::optional<std::array<double, 9>> udevAccelMountMatrix(const IioPaths& paths,
                                                          const std::string& devNumber) {
  if (devNumber.empty()) return std::nullopt;
  std::ifstream in(paths.udevDataDir + "/c" + devNumber);
  const std::string key = "E:ACCEL_MOUNT_MATRIX=";
  for (std::string line; std::getline(in, line);)
    if (line.rfind(key, 0) == 0) return parseMountMatrix(line.substr(key.size()));
  return std::nullopt;
}

std::optional<IioSensor> findSensor(const std::string& dir, IioSensorKind kind,
                                    const std::string& channel) {
  IioSensor s;
  s.kind = kind;
  s.deviceDir = dir;
  s.channel = channel;
  const std::string base = dir + "/in_" + channel + "_";
  bool raw = true;
  for (int i = 0; i < 3; ++i)
    if (!exists(base + kAxes[i] + "_raw")) raw = false;
  bool input = !raw;
  for (int i = 0; i < 3 && input; ++i)
    if (!exists(base + kAxes[i] + "_input")) input = false;
  if (!raw && !input) return std::nullopt;
  for (int i = 0; i < 3; ++i) {
    const std::string axis = base + kAxes[i];
    s.valueFiles[static_cast<std::size_t>(i)] = axis + (raw ? "_raw" : "_input");
    // Processed values are in the final units already.
    if (!raw) continue;
    if (auto v = readNumber(axis + "_scale"))
      s.scale[static_cast<std::size_t>(i)] = *v;
    else if (auto shared = readNumber(base + "scale"))
      s.scale[static_cast<std::size_t>(i)] = *shared;
    if (auto v = readNumber(axis + "_offset"))
      s.offset[static_cast<std::size_t>(i)] = *v;
    else if (auto shared = readNumber(base + "offset"))
      s.offset[static_cast<std::size_t>(i)] = *shared;
  }
  return s;
}

void setMount(IioSensor& s, const std::optional<std::array<double, 9>>& udev,
              const std::string& dir) {
  if (udev) {
    s.mount = *udev;
    s.mountFrom = "udev";
    return;
  }
  for (const std::string& file :
       {dir + "/in_" + s.channel + "_mount_matrix", dir + "/mount_matrix"})
    if (auto line = readLine(file))
      if (auto m = parseMountMatrix(*line)) {
        s.mount = *m;
        s.mountFrom = "sysfs";
        return;
      }
}

std::optional<int> deviceIndex(const std::string& folderName) {
  const std::string prefix = "iio:device";
  if (folderName.rfind(prefix, 0) != 0 || folderName.size() == prefix.size()) return std::nullopt;
  int n = 0;
  const char* first = folderName.data() + prefix.size();
  const char* last = folderName.data() + folderName.size();
  const auto [end, ec] = std::from_chars(first, last, n);
  if (ec != std::errc() || end != last) return std::nullopt;
  return n;
}

}  // namespace

IioPaths IioPaths::underRoot(const std::string& root) {
  IioPaths p;
  const fs::path r(root);
  p.devicesDir = (r / "sys/bus/iio/devices").string();
  if (!exists(p.devicesDir)) {
    if (exists((r / "bus/iio/devices").string())) {
      p.devicesDir = (r / "bus/iio/devices").string();
    } else {
      p.devicesDir = r.string();
    }
  }
  p.devDir = (r / "dev").string();
  p.udevDataDir = (r / "run/udev/data").string();
  return p;
}

Vector3 IioSensor::toDevice(const std::array<double, 3>& raw) const {
  double v[3];
  for (std::size_t i = 0; i < 3; ++i) v[i] = (raw[i] + offset[i]) * scale[i];
  return {mount[0] * v[0] + mount[1] * v[1] + mount[2] * v[2],
          mount[3] * v[0] + mount[4] * v[1] + mount[5] * v[2],
          mount[6] * v[0] + mount[7] * v[1] + mount[8] * v[2]};
}

std::optional<std::array<double, 9>> parseMountMatrix(const std::string& text) {
  std::array<double, 9> m{};
  std::string normal = text;
  std::replace(normal.begin(), normal.end(), ';', ',');
  std::istringstream in(normal);
  std::size_t n = 0;
  for (std::string part; std::getline(in, part, ',');) {
    if (n == 9) return std::nullopt;
    auto v = parseNumber(part);
    if (!v) return std::nullopt;
    m[n++] = *v;
  }
  if (n != 9) return std::nullopt;
  // All zeros is what some drivers report for "not known".
  if (std::all_of(m.begin(), m.end(), [](double x) { return x == 0; })) return std::nullopt;
  return m;
}

std::vector<IioDeviceInfo> scanIioDevices(const IioPaths& paths) {
  std::vector<IioDeviceInfo> devices;
  std::error_code ec;
  for (fs::directory_iterator it(paths.devicesDir, ec), end; !ec && it != end; it.increment(ec)) {
    const auto index = deviceIndex(it->path().filename().string());
    if (!index) continue;
    IioDeviceInfo d;
    d.dir = it->path().string();
    d.index = *index;
    d.name = readLine(d.dir + "/name").value_or("");
    d.devNumber = readLine(d.dir + "/dev").value_or("");
    d.accel = findSensor(d.dir, IioSensorKind::Accelerometer, "accel");
    d.gyro = findSensor(d.dir, IioSensorKind::Gyroscope, "anglvel");
    d.magn = findSensor(d.dir, IioSensorKind::Magnetometer, "magn");
    // udev's matrix describes the accelerometer's chip; a gyroscope on the
    // same chip is mounted the same way.
    const auto udev = d.accel ? udevAccelMountMatrix(paths, d.devNumber) : std::nullopt;
    if (d.accel) setMount(*d.accel, udev, d.dir);
    if (d.gyro) setMount(*d.gyro, udev, d.dir);
    if (d.magn) setMount(*d.magn, std::nullopt, d.dir);
    if (d.accel || d.gyro || d.magn) devices.push_back(std::move(d));
  }
  std::sort(devices.begin(), devices.end(),
            [](const auto& a, const auto& b) { return a.index < b.index; });
  return devices;
}

std::optional<IioSensorSet> chooseIioSensors(const std::vector<IioDeviceInfo>& devices) {
  std::optional<IioSensorSet> set;
  for (const IioDeviceInfo& d : devices)
    if (d.accel && d.gyro) {
      set = IioSensorSet{d, d, std::nullopt};
      break;
    }
  if (!set) {
    const IioDeviceInfo* accel = nullptr;
    const IioDeviceInfo* gyro = nullptr;
    for (const IioDeviceInfo& d : devices) {
      if (d.accel && !accel) accel = &d;
      if (d.gyro && !gyro) gyro = &d;
    }
    if (!accel || !gyro) return std::nullopt;
    set = IioSensorSet{*accel, *gyro, std::nullopt};
  }
  for (const IioDeviceInfo& d : devices)
    if (d.magn) {
      set->magnDevice = d;
      break;
    }
  return set;
}

Result<Vector3> readIioSensor(const IioSensor& sensor) {
  std::array<double, 3> raw{};
  for (std::size_t i = 0; i < 3; ++i) {
    const auto line = readLine(sensor.valueFiles[i]);
    if (!line) return Error{"cannot read " + sensor.valueFiles[i]};
    const auto v = parseNumber(*line);
    if (!v)
      return Error{sensor.valueFiles[i] + " reads \"" + line->substr(0, 40) + "\", not a number"};
    raw[i] = *v;
  }
  const Vector3 out = sensor.toDevice(raw);
  if (!std::isfinite(out.x) || !std::isfinite(out.y) || !std::isfinite(out.z))
    return Error{sensor.valueFiles[0] + " and its neighbours scale to a non-finite value"};
  return out;
}

std::optional<double> setIioSamplingFrequency(const IioDeviceInfo& device, double hertz,
                                              std::string* why) {
  std::vector<std::string> files;
  for (const std::string& f :
       {device.dir + "/sampling_frequency", device.dir + "/in_accel_sampling_frequency",
        device.dir + "/in_anglvel_sampling_frequency"})
    if (exists(f)) files.push_back(f);
  if (files.empty()) return std::nullopt;

  auto formatted = [](double v) {
    std::ostringstream s;
    s << v;
    return s.str();
  };
  std::string refusal;
  for (const std::string& f : files) {
    const Result<void> asked = writeText(f, formatted(hertz));
    if (asked) continue;
    // Refused: the nearest rate the device offers at or above the one
    // wanted, else its fastest.
    std::optional<double> choice;
    const std::string availableFile =
        f.substr(0, f.size() - std::string("sampling_frequency").size()) +
        "sampling_frequency_available";
    if (auto line = readLine(availableFile)) {
      std::istringstream in(*line);
      double best = -1, fastest = -1;
      for (std::string w; in >> w;)
        if (auto v = parseNumber(w); v && *v > 0) {
          fastest = std::max(fastest, *v);
          if (*v >= hertz && (best < 0 || *v < best)) best = *v;
        }
      if (best > 0)
        choice = best;
      else if (fastest > 0)
        choice = fastest;
    }
    if (!choice || !writeText(f, formatted(*choice))) refusal = asked.error().message;
  }
  const auto now = readNumber(files.front());
  if (why) {
    if (!refusal.empty())
      *why = "the device refused " + formatted(hertz) + " Hz (" + refusal + ")";
    else if (now && std::abs(*now - hertz) > 0.01 * hertz)
      *why = "the device samples at " + formatted(*now) + " Hz, not " + formatted(hertz) + " Hz";
  }
  return now && *now > 0 ? now : std::nullopt;
}

// --- Scan elements -----------------------------------------------------------

std::optional<IioScanElement> parseScanType(const std::string& typeText) {
  // [be|le]:[s|u]bits/storagebits[Xrepeat]>>shift
  const std::string t = trimmed(typeText);
  IioScanElement e;
  if (t.size() < 4 || t[2] != ':') return std::nullopt;
  if (t.compare(0, 2, "be") == 0)
    e.bigEndian = true;
  else if (t.compare(0, 2, "le") != 0)
    return std::nullopt;
  if (t[3] != 's' && t[3] != 'u' && t[3] != 'S' && t[3] != 'U') return std::nullopt;
  e.isSigned = t[3] == 's' || t[3] == 'S';
  const char* p = t.data() + 4;
  const char* end = t.data() + t.size();
  auto number = [&](int& out) {
    const auto [next, ec] = std::from_chars(p, end, out);
    if (ec != std::errc()) return false;
    p = next;
    return true;
  };
  if (!number(e.bits) || p == end || *p++ != '/' || !number(e.storageBits)) return std::nullopt;
  if (p != end && *p == 'X') {
    ++p;
    if (!number(e.repeat) || e.repeat < 1) return std::nullopt;
  }
  if (end - p < 2 || p[0] != '>' || p[1] != '>') return std::nullopt;
  p += 2;
  if (!number(e.shift) || p != end) return std::nullopt;
  const bool storageOk =
      e.storageBits == 8 || e.storageBits == 16 || e.storageBits == 32 || e.storageBits == 64;
  if (!storageOk || e.bits < 1 || e.bits > e.storageBits || e.shift < 0 || e.shift >= e.storageBits)
    return std::nullopt;
  return e;
}

std::size_t layOutScan(std::vector<IioScanElement>& elements) {
  std::sort(elements.begin(), elements.end(),
            [](const auto& a, const auto& b) { return a.index < b.index; });
  std::size_t at = 0, largest = 1;
  for (IioScanElement& e : elements) {
    const std::size_t size = static_cast<std::size_t>(e.storageBits / 8);
    at = (at + size - 1) / size * size;
    e.offset = at;
    at += e.bytes();
    largest = std::max(largest, size);
  }
  return (at + largest - 1) / largest * largest;
}

double decodeScanElement(const IioScanElement& e, const std::uint8_t* record) {
  const std::size_t size = static_cast<std::size_t>(e.storageBits / 8);
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint8_t byte = record[e.offset + (e.bigEndian ? i : size - 1 - i)];
    v = (v << 8) | byte;
  }
  v >>= e.shift;
  if (e.bits < 64) v &= (std::uint64_t{1} << e.bits) - 1;
  if (e.isSigned && e.bits < 64 && (v >> (e.bits - 1)) & 1)
    v |= ~((std::uint64_t{1} << e.bits) - 1);
  return e.isSigned ? static_cast<double>(static_cast<std::int64_t>(v)) : static_cast<double>(v);
}

// --- The buffer --------------------------------------------------------------

Result<std::unique_ptr<IioBuffer>> IioBuffer::open(const IioPaths& paths,
                                                   const IioSensorSet& sensors) {
  auto fail = [](std::string message) { return Error{std::move(message)}; };
  if (!sensors.sameDevice())
    return fail("the accelerometer and the gyroscope are on different devices");
  const IioDeviceInfo& d = sensors.accelDevice;
  const std::string scanDir = d.dir + "/scan_elements";
  std::unique_ptr<IioBuffer> b(new IioBuffer);
  b->deviceDir_ = d.dir;
  b->bufferDir_ = exists(d.dir + "/buffer0/enable") ? d.dir + "/buffer0" : d.dir + "/buffer";
  if (!exists(scanDir) || !exists(b->bufferDir_ + "/enable"))
    return fail("the device has no buffer");

  // The node first: when another process holds it, its set-up is left alone.
  const std::string node = paths.devDir + "/iio:device" + std::to_string(d.index);
  b->fd_.reset(::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!b->fd_)
    return fail(
        node + ": " +
        (errno == EBUSY ? std::string("busy (another program reads it)") : errnoText(errno)));
  if (readLine(b->bufferDir_ + "/enable").value_or("0") == "1")
    return fail("the buffer is already enabled by another program");

  const bool magnHere = sensors.magnDevice && sensors.magnDevice->dir == d.dir;
  std::vector<std::string> wanted = {"accel_x",   "accel_y",   "accel_z",  "anglvel_x",
                                     "anglvel_y", "anglvel_z", "timestamp"};
  if (magnHere) wanted.insert(wanted.end(), {"magn_x", "magn_y", "magn_z"});

  std::error_code ec;
  for (fs::directory_iterator it(scanDir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string file = it->path().filename().string();
    if (file.size() < 7 || file.rfind("in_", 0) != 0 ||
        file.compare(file.size() - 3, 3, "_en") != 0)
      continue;
    const std::string name = file.substr(3, file.size() - 6);
    const std::string stem = scanDir + "/in_" + name;
    const bool want = std::find(wanted.begin(), wanted.end(), name) != wanted.end();
    if (want) {
      if (auto enabled = writeText(stem + "_en", "1"); !enabled)
        return fail("cannot enable " + name + ": " + enabled.error().message);
    } else if (readLine(stem + "_en").value_or("0") != "1") {
      continue;
    }
    auto element = parseScanType(readLine(stem + "_type").value_or(""));
    const auto index = readNumber(stem + "_index");
    if (!element || !index) return fail("cannot read the scan element " + name);
    element->name = name;
    element->index = static_cast<int>(*index);
    b->elements_.push_back(*element);
  }
  b->recordSize_ = layOutScan(b->elements_);
  for (std::size_t i = 0; i < b->elements_.size(); ++i) {
    const std::string& n = b->elements_[i].name;
    for (int axis = 0; axis < 3; ++axis) {
      if (n == std::string("accel_") + kAxes[axis])
        b->accel_[static_cast<std::size_t>(axis)] = static_cast<int>(i);
      if (n == std::string("anglvel_") + kAxes[axis])
        b->gyro_[static_cast<std::size_t>(axis)] = static_cast<int>(i);
      if (magnHere && n == std::string("magn_") + kAxes[axis])
        b->magn_[static_cast<std::size_t>(axis)] = static_cast<int>(i);
    }
    if (n == "timestamp") b->timestamp_ = static_cast<int>(i);
  }
  for (int axis = 0; axis < 3; ++axis)
    if (b->accel_[static_cast<std::size_t>(axis)] < 0 ||
        b->gyro_[static_cast<std::size_t>(axis)] < 0)
      return fail("the buffer does not carry every axis of both sensors");
  if (b->recordSize_ == 0) return fail("empty scan");

  // A device without a trigger of its own choosing gets the one named
  // after it, when the kernel made one.
  if (exists(d.dir + "/trigger/current_trigger") &&
      readLine(d.dir + "/trigger/current_trigger").value_or("").empty()) {
    const std::string own = d.name + "-dev" + std::to_string(d.index);
    for (fs::directory_iterator it(paths.devicesDir, ec), end; !ec && it != end; it.increment(ec))
      if (it->path().filename().string().rfind("trigger", 0) == 0 &&
          readLine((it->path() / "name").string()).value_or("") == own) {
        (void)writeText(d.dir + "/trigger/current_trigger", own);
        break;
      }
  }
  // A device that keeps its own length still works.
  (void)writeText(b->bufferDir_ + "/length", "128");
  if (auto enabled = writeText(b->bufferDir_ + "/enable", "1"); !enabled)
    return fail("cannot enable the buffer: " + enabled.error().message);
  b->enabledByUs_ = true;
  return b;
}

IioBuffer::~IioBuffer() {
  if (enabledByUs_) (void)writeText(bufferDir_ + "/enable", "0");
}

Result<void> IioBuffer::read(int timeoutMs, std::vector<IioRecord>& out) {
  pollfd p{fd_.get(), POLLIN, 0};
  const int ready = ::poll(&p, 1, std::max(0, timeoutMs));
  if (ready < 0) {
    if (errno == EINTR) return {};
    return Error{"waiting for the buffer: " + errnoText(errno)};
  }
  if (ready == 0) return {};
  if (p.revents & (POLLERR | POLLNVAL)) return Error{"the buffer's device failed"};
  std::uint8_t chunk[4096];
  const ssize_t n = ::read(fd_.get(), chunk, sizeof chunk - sizeof chunk % recordSize_);
  if (n < 0) {
    if (errno == EAGAIN || errno == EINTR) return {};
    return Error{"reading the buffer: " + errnoText(errno)};
  }
  pending_.insert(pending_.end(), chunk, chunk + n);
  std::size_t at = 0;
  for (; at + recordSize_ <= pending_.size(); at += recordSize_) {
    const std::uint8_t* r = pending_.data() + at;
    IioRecord record;
    for (std::size_t axis = 0; axis < 3; ++axis) {
      record.accel[axis] = decodeScanElement(elements_[static_cast<std::size_t>(accel_[axis])], r);
      record.gyro[axis] = decodeScanElement(elements_[static_cast<std::size_t>(gyro_[axis])], r);
    }
    if (magn_[0] >= 0 && magn_[1] >= 0 && magn_[2] >= 0) {
      std::array<double, 3> m{};
      for (std::size_t axis = 0; axis < 3; ++axis)
        m[axis] = decodeScanElement(elements_[static_cast<std::size_t>(magn_[axis])], r);
      record.magn = m;
    }
    if (timestamp_ >= 0) {
      const IioScanElement& e = elements_[static_cast<std::size_t>(timestamp_)];
      std::int64_t ns = 0;
      if (e.storageBits == 64) {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < 8; ++i) v = (v << 8) | r[e.offset + (e.bigEndian ? i : 7 - i)];
        ns = static_cast<std::int64_t>(v);
      } else {
        ns = static_cast<std::int64_t>(decodeScanElement(e, r));
      }
      record.timestampNs = ns;
    }
    out.push_back(record);
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(at));
  return {};
}

}  // namespace kit
