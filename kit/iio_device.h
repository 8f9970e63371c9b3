// The kernel's industrial-I/O sensors as files: discovery of the
// accelerometer, gyroscope and magnetometer under sysfs, their scale,
// offset and mount matrix, polled reading of their raw values, and the
// buffered character device with its scan elements.
//
// Nothing here cares whether the tree is the real /sys: an IioPaths names
// the three places read (the devices folder, the device nodes' folder and
// udev's database), so tests and `--iio-root` use a tree of their own.
//
// Values leave here in the device axes of the kernel's mount-matrix
// convention, which are the kit's (x toward the screen's right edge, y
// toward its top, z out of the screen), and in the kernel's units: m/s²
// with +9.81 on z lying face up, rad/s, gauss. Turning them into the kit's
// accelerometer convention is the motion source's business.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/motion.h"
#include "kit/posix_io.h"
#include "kit/result.h"

namespace kit {

struct IioPaths {
  std::string devicesDir = "/sys/bus/iio/devices";
  std::string devDir = "/dev";
  std::string udevDataDir = "/run/udev/data";

  // A tree standing for the machine's root: DIR/sys/bus/iio/devices (or
  // DIR/bus/iio/devices when DIR is a sysfs tree, or DIR itself when it
  // holds iio:deviceN folders), DIR/dev and DIR/run/udev/data.
  static IioPaths underRoot(const std::string& root);
};

enum class IioSensorKind { Accelerometer, Gyroscope, Magnetometer };

// One three-axis sensor on one device.
struct IioSensor {
  IioSensorKind kind = IioSensorKind::Accelerometer;
  std::string deviceDir;                  // the device's sysfs folder
  std::string channel;                    // "accel", "anglvel", "magn"
  std::array<std::string, 3> valueFiles;  // x, y, z: *_raw, or *_input when there is no raw
  std::array<double, 3> scale{1, 1, 1};
  std::array<double, 3> offset{0, 0, 0};
  std::array<double, 9> mount{1, 0, 0, 0, 1, 0, 0, 0, 1};  // rows
  std::string mountFrom = "identity";                      // "udev", "sysfs" or "identity"

  // (raw + offset) × scale, then the mount matrix: device axes, kernel units.
  Vector3 toDevice(const std::array<double, 3>& raw) const;
};

struct IioDeviceInfo {
  std::string dir;  // sysfs folder
  int index = -1;   // N of iio:deviceN
  std::string name;
  std::string devNumber;  // "MAJOR:MINOR", empty when unknown
  std::optional<IioSensor> accel, gyro, magn;
};

// Every iio:deviceN under paths.devicesDir with the sensors it carries, in
// index order. Devices that cannot be read are left out.
std::vector<IioDeviceInfo> scanIioDevices(const IioPaths& paths);

// The sensors to fuse: an accelerometer and a gyroscope (both on one device
// when there is one that has both), and a magnetometer when present.
struct IioSensorSet {
  IioDeviceInfo accelDevice, gyroDevice;
  std::optional<IioDeviceInfo> magnDevice;
  bool sameDevice() const { return accelDevice.dir == gyroDevice.dir; }
};
std::optional<IioSensorSet> chooseIioSensors(const std::vector<IioDeviceInfo>& devices);

// "a, b, c; d, e, f; g, h, i" (the kernel's and udev's format), rows.
std::optional<std::array<double, 9>> parseMountMatrix(const std::string& text);

// Reads the three values of a sensor now; an error when a file is missing,
// unreadable or not a finite number.
Result<Vector3> readIioSensor(const IioSensor& sensor);

// Asks the device to sample at `hertz` (the shared sampling_frequency, and
// the sensor's own when it has one). Answers the rate the device reports
// afterwards (which may differ from the one asked for), or nothing when it
// reports none. A refusal is said in *why.
std::optional<double> setIioSamplingFrequency(const IioDeviceInfo& device, double hertz,
                                              std::string* why);

// --- Buffered reading ----------------------------------------------------

// One scan element: where a channel sits in a record and how it is coded
// ("le:s16/16>>0" and the like).
struct IioScanElement {
  std::string name;  // "accel_x", "anglvel_z", "timestamp"
  int index = 0;
  bool bigEndian = false;
  bool isSigned = true;
  int bits = 16, storageBits = 16, shift = 0, repeat = 1;
  std::size_t offset = 0;  // bytes from the record's start, once laid out

  std::size_t bytes() const { return static_cast<std::size_t>(storageBits / 8 * repeat); }
};
std::optional<IioScanElement> parseScanType(const std::string& type);
// Orders the elements by index, places each at a multiple of its own size
// and answers the record's size (a multiple of the largest element).
std::size_t layOutScan(std::vector<IioScanElement>& elements);
// The element's value in one record (the first of a repeat).
double decodeScanElement(const IioScanElement& e, const std::uint8_t* record);

// One record of the buffer: the sensors' raw values and the kernel's time
// (nanoseconds) when the record carries it.
struct IioRecord {
  std::array<double, 3> accel{}, gyro{};
  std::optional<std::array<double, 3>> magn;
  std::optional<std::int64_t> timestampNs;
};

// The buffered character device of the device carrying both the
// accelerometer and the gyroscope. Only one process can hold it.
class IioBuffer {
 public:
  // Enables the scan elements and the buffer and opens /dev/iio:deviceN;
  // an error when any step fails (busy, no permission, no node): the
  // caller then polls the raw values instead.
  static Result<std::unique_ptr<IioBuffer>> open(const IioPaths& paths,
                                                 const IioSensorSet& sensors);
  ~IioBuffer();
  IioBuffer(const IioBuffer&) = delete;
  IioBuffer& operator=(const IioBuffer&) = delete;

  // Waits up to timeoutMs for data and adds the whole records read to out.
  // An error when the device failed (it is then of no more use).
  Result<void> read(int timeoutMs, std::vector<IioRecord>& out);
  std::size_t recordSize() const { return recordSize_; }

 private:
  IioBuffer() = default;
  UniqueFd fd_;
  std::string deviceDir_;
  std::string bufferDir_;
  bool enabledByUs_ = false;
  std::vector<IioScanElement> elements_;
  std::size_t recordSize_ = 0;
  std::array<int, 3> accel_{-1, -1, -1}, gyro_{-1, -1, -1}, magn_{-1, -1, -1};
  int timestamp_ = -1;
  std::vector<std::uint8_t> pending_;
};

}  // namespace kit
