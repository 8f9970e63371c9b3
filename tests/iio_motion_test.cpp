#include "kit/iio_motion_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <thread>
#include <chrono>
#include <unistd.h>

#include "kit/log.h"
#include "tests/temp_folder.h"

namespace {

namespace fs = std::filesystem;
constexpr double kPi = std::numbers::pi;
constexpr double kG = kit::IioMotionSource::kStandardGravity;

// A sysfs tree of our own: DIR/sys/bus/iio/devices, DIR/dev, DIR/run/udev/data.
class FakeIio : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.path().empty());
    root = folder_.path();
    fs::create_directories(root / "sys/bus/iio/devices");
    fs::create_directories(root / "dev");
    fs::create_directories(root / "run/udev/data");
  }

  fs::path device(int n) const {
    return root / "sys/bus/iio/devices" / ("iio:device" + std::to_string(n));
  }
  void write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
  }
  std::string read(const fs::path& file) {
    std::ifstream in(file);
    std::string s;
    std::getline(in, s);
    return s;
  }
  // A sensor with per-channel raw files and a shared scale (and offset).
  void addSensor(int n, const std::string& channel, double scale, double offset = 0) {
    for (const char* axis : {"x", "y", "z"})
      write(device(n) / ("in_" + channel + "_" + axis + "_raw"), "0");
    write(device(n) / ("in_" + channel + "_scale"), std::to_string(scale));
    if (offset != 0) write(device(n) / ("in_" + channel + "_offset"), std::to_string(offset));
  }
  void setRaw(int n, const std::string& channel, double x, double y, double z) {
    write(device(n) / ("in_" + channel + "_x_raw"), std::to_string(x));
    write(device(n) / ("in_" + channel + "_y_raw"), std::to_string(y));
    write(device(n) / ("in_" + channel + "_z_raw"), std::to_string(z));
  }
  // An IMU on device n: the accelerometer in units of 0.01 m/s², the
  // gyroscope in milli-rad/s.
  void addImu(int n, const std::string& name = "imu") {
    write(device(n) / "name", name);
    addSensor(n, "accel", 0.01);
    addSensor(n, "anglvel", 0.001);
  }
  // The IMU's reading in the kit's terms: accelerometer in g (face up
  // (0, 0, -1)), gyroscope in rad/s.
  void setImu(int n, kit::Vector3 accelG, kit::Vector3 gyro) {
    setRaw(n, "accel", -accelG.x * kG * 100, -accelG.y * kG * 100, -accelG.z * kG * 100);
    setRaw(n, "anglvel", gyro.x * 1000, gyro.y * 1000, gyro.z * 1000);
  }
  kit::IioPaths paths() const { return kit::IioPaths::underRoot(root.string()); }
  std::unique_ptr<kit::IioMotionSource> open(std::string* why = nullptr, bool buffered = false) {
    kit::IioMotionOptions o;
    o.background = false;
    o.buffered = buffered;
    auto source = kit::IioMotionSource::open(paths(), o);
    if (!source) {
      if (why) *why = source.error().message;
      return nullptr;
    }
    return std::move(*source);
  }

  testing_files::TempFolder folder_{"iio"};
  fs::path root;
};

// --- Finding the sensors ----------------------------------------------------

TEST_F(FakeIio, ADeviceWithAnAccelerometerButNoGyroscopeIsNotChosen) {
  write(device(0) / "name", "accel-only");
  addSensor(0, "accel", 0.01);
  std::string why;
  EXPECT_EQ(open(&why), nullptr);
  EXPECT_NE(why.find("accelerometer and a gyroscope"), std::string::npos) << why;

  // With a gyroscope on a second device the two are fused; a device with
  // both is preferred when there is one.
  write(device(3) / "name", "gyro-only");
  addSensor(3, "anglvel", 0.001);
  auto set = kit::chooseIioSensors(kit::scanIioDevices(paths()));
  ASSERT_TRUE(set);
  EXPECT_EQ(set->accelDevice.index, 0);
  EXPECT_EQ(set->gyroDevice.index, 3);
  addImu(7);
  set = kit::chooseIioSensors(kit::scanIioDevices(paths()));
  ASSERT_TRUE(set);
  EXPECT_TRUE(set->sameDevice());
  EXPECT_EQ(set->accelDevice.name, "imu");
}

TEST_F(FakeIio, ScaleOffsetAndMountMatrixBringReadingsToTheDeviceAxes) {
  write(device(0) / "name", "imu");
  addSensor(0, "accel", 0.5, 2);
  addSensor(0, "anglvel", 0.25);
  write(device(0) / "in_anglvel_x_scale", "0.125");  // a channel's own scale wins
  // The chip turned a quarter: its x is the screen's -y, its y the screen's x.
  write(device(0) / "mount_matrix", "0, 1, 0; -1, 0, 0; 0, 0, 1");
  setRaw(0, "accel", 10, 20, 30);
  setRaw(0, "anglvel", 8, 4, 4);
  const auto devices = kit::scanIioDevices(paths());
  ASSERT_EQ(devices.size(), 1u);
  const kit::IioSensor& accel = *devices[0].accel;
  EXPECT_EQ(accel.mountFrom, "sysfs");
  const auto a = kit::readIioSensor(accel);
  ASSERT_TRUE(a);
  // (raw + 2) × 0.5 = (6, 11, 16) on the chip.
  EXPECT_DOUBLE_EQ(a->x, 11);
  EXPECT_DOUBLE_EQ(a->y, -6);
  EXPECT_DOUBLE_EQ(a->z, 16);
  const auto g = kit::readIioSensor(*devices[0].gyro);
  ASSERT_TRUE(g);
  EXPECT_DOUBLE_EQ(g->x, 1);   // 4 × 0.25
  EXPECT_DOUBLE_EQ(g->y, -1);  // -(8 × 0.125)
}

TEST_F(FakeIio, UdevsMountMatrixWinsOverSysfsForTheAccelerometersChip) {
  addImu(0);
  write(device(0) / "dev", "240:0");
  write(device(0) / "in_accel_mount_matrix", "0, 1, 0; -1, 0, 0; 0, 0, 1");
  write(root / "run/udev/data/c240:0",
        "S:iio:device0\nE:ACCEL_MOUNT_MATRIX=-1, 0, 0; 0, -1, 0; 0, 0, 1\nG:x");
  const auto devices = kit::scanIioDevices(paths());
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].accel->mountFrom, "udev");
  EXPECT_EQ(devices[0].gyro->mountFrom, "udev");
  EXPECT_EQ(devices[0].accel->mount[0], -1);
  // Garbage in the database is not taken; the sysfs matrix stands.
  write(root / "run/udev/data/c240:0", "E:ACCEL_MOUNT_MATRIX=sideways");
  EXPECT_EQ(kit::scanIioDevices(paths())[0].accel->mountFrom, "sysfs");
  EXPECT_FALSE(kit::parseMountMatrix("1, 0, 0; 0, 1, 0"));
  EXPECT_FALSE(kit::parseMountMatrix("0, 0, 0; 0, 0, 0; 0, 0, 0"));
}

// --- The source, polled -------------------------------------------------------

TEST_F(FakeIio, TheKernelsUnitsAndSignsReachTheKitsConventions) {
  addImu(0);
  // Lying face up the kernel reads +9.81 m/s² on z.
  setRaw(0, "accel", 0, 0, 981);
  setRaw(0, "anglvel", 0, 0, 0);
  auto source = open();
  ASSERT_NE(source, nullptr);
  EXPECT_FALSE(source->sample(0).has_value());  // nothing read yet
  source->pump(0);
  auto s = source->sample(0);
  ASSERT_TRUE(s);
  EXPECT_NEAR(s->acceleration.z, -9.81 / kG, 1e-12);
  EXPECT_NEAR(s->gravity.z, -1, 1e-9);
  EXPECT_NEAR(s->attitude.yaw, kPi / 2, 1e-9);

  // Turning counter-clockwise seen from above: positive rate, yaw grows.
  setImu(0, {0, 0, -1}, {0, 0, 0.5});
  for (int i = 1; i <= 120; ++i) source->pump(i / 120.0);
  s = source->sample(1);
  EXPECT_NEAR(s->rotationRate.z, 0.5, 1e-9);
  EXPECT_NEAR(s->attitude.yaw, kPi / 2 + 0.5, 0.005);

  // The top edge raised: positive pitch, gravity toward the bottom edge.
  auto lifted = open();
  setImu(0, {0, -std::sin(0.3), -std::cos(0.3)}, {});
  lifted->pump(0);
  s = lifted->sample(0);
  EXPECT_NEAR(s->attitude.pitch, 0.3, 1e-6);
  EXPECT_LT(s->gravity.y, 0);
}

TEST_F(FakeIio, AFileThatVanishesOrReadsGarbageLeavesTheLastGoodSampleAndOneLogLine) {
  addImu(0);
  setImu(0, {0, 0, -1}, {0, 0, 0.2});
  auto source = open();
  source->pump(0);
  source->pump(0.01);
  const auto good = source->sample(0.01);
  ASSERT_TRUE(good);

  kit::LogCapture log;
  fs::remove(device(0) / "in_accel_y_raw");
  for (int i = 2; i < 10; ++i) source->pump(i / 100.0);
  write(device(0) / "in_accel_y_raw", "garbage");
  for (int i = 10; i < 20; ++i) source->pump(i / 100.0);
  write(device(0) / "in_anglvel_z_raw", "nan");
  for (int i = 20; i < 30; ++i) source->pump(i / 100.0);
  for (int i = 0; i < 3; ++i) {
    const auto s = source->sample(0.3);
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->isFinite());
    EXPECT_EQ(s->attitude.yaw, good->attitude.yaw);
  }
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_NE(log.lines()[0].find("in_accel_y_raw"), std::string::npos) << log.lines()[0];

  // Back to good values, it goes on from where it was.
  setImu(0, {0, 0, -1}, {0, 0, 0.2});
  source->pump(0.31);
  EXPECT_GT(source->sample(0.31)->attitude.yaw, good->attitude.yaw);
}

TEST_F(FakeIio, BackwardTimeAndABurstAfterAStallNeitherJumpNorStop) {
  addImu(0);
  setImu(0, {0, 0, -1}, {0, 0, 1});
  auto source = open();
  kit::LogCapture log;
  for (int i = 0; i <= 12; ++i) source->pump(i / 120.0);
  const double before = source->sample(0)->attitude.yaw;
  source->pump(0.05);  // earlier than the last reading
  EXPECT_NEAR(source->sample(0)->attitude.yaw, before, 1e-12);
  source->pump(0.05 + 1 / 120.0);
  // A stall of ten seconds: the reading is taken up again, and the turn
  // the gyroscope reads now is not stretched over the whole gap.
  source->pump(10);
  const double after = source->sample(10)->attitude.yaw;
  EXPECT_LT(std::abs(std::remainder(after - before, 2 * kPi)), 0.05);
  for (int i = 1; i <= 5; ++i) source->pump(10 + i / 1000.0);  // a burst
  EXPECT_TRUE(source->sample(10)->isFinite());
  const auto& lines = log.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("backwards"), std::string::npos);
  EXPECT_NE(lines[1].find("no reading for 9.942 s"), std::string::npos) << lines[1];
}

TEST_F(FakeIio, ARateTheDeviceRefusesIsSaidOnceAndTheSourceGoesOn) {
  addImu(0);
  // A write the device refuses (here: the attribute cannot be written at all).
  fs::create_directories(device(0) / "sampling_frequency");
  setImu(0, {0, 0, -1}, {});
  kit::LogCapture log;
  auto source = open();
  ASSERT_NE(source, nullptr);
  source->pump(0);
  ASSERT_TRUE(source->sample(0));
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_NE(log.lines()[0].find("refused 120 Hz"), std::string::npos) << log.lines()[0];

  // One it takes: polling follows it down.
  fs::remove_all(root);
  SetUp();
  addImu(0);
  write(device(0) / "sampling_frequency", "100");
  EXPECT_EQ(kit::setIioSamplingFrequency(kit::scanIioDevices(paths())[0], 50, nullptr), 50);
  EXPECT_EQ(read(device(0) / "sampling_frequency"), "50");
}

TEST_F(FakeIio, AnAccelerometerThatReportsGInsteadOfMetresPerSecondSquaredIsCorrected) {
  addImu(0);
  // 1 g reported as 1.0 "m/s²".
  setRaw(0, "accel", 0, 0, 100);
  write(device(0) / "in_accel_scale", "0.01");
  kit::LogCapture log;
  auto source = open();
  for (int i = 0; i < 40; ++i) source->pump(i / 120.0);
  EXPECT_NEAR(source->sample(0)->acceleration.z, -1, 1e-9);
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_NE(log.lines()[0].find("as if in g"), std::string::npos) << log.lines()[0];
}

// --- Buffered reading -----------------------------------------------------------

TEST(IioScanElements, TypesDecodeWithShiftSignAndEndianness) {
  auto e = kit::parseScanType("le:s12/16>>4");
  ASSERT_TRUE(e);
  EXPECT_TRUE(e->isSigned);
  EXPECT_EQ(e->bits, 12);
  const std::uint8_t minusOne[2] = {0xF0, 0xFF};  // -1 in the top 12 bits, little-endian
  EXPECT_EQ(kit::decodeScanElement(*e, minusOne), -1);
  auto u = kit::parseScanType("be:u16/16>>0");
  ASSERT_TRUE(u);
  const std::uint8_t big[2] = {0x01, 0x02};
  EXPECT_EQ(kit::decodeScanElement(*u, big), 258);
  for (const char* bad :
       {"", "le:s16", "xx:s16/16>>0", "le:s17/12>>0", "le:s16/24>>0", "le:s16/16>>16"})
    EXPECT_FALSE(kit::parseScanType(bad)) << bad;

  // Each element at a multiple of its size; the record a multiple of the largest.
  std::vector<kit::IioScanElement> scan(3);
  scan[0] = *kit::parseScanType("le:s16/16>>0");
  scan[0].index = 1;
  scan[1] = *kit::parseScanType("le:s64/64>>0");
  scan[1].index = 2;
  scan[2] = *kit::parseScanType("le:s16/16>>0");
  scan[2].index = 0;
  EXPECT_EQ(kit::layOutScan(scan), 16u);
  EXPECT_EQ(scan[1].offset, 2u);
  EXPECT_EQ(scan[2].offset, 8u);
}

class FakeIioBuffer : public FakeIio {
 protected:
  // Scan elements for accel and anglvel (s16) and the timestamp (s64).
  void addScan(int n) {
    const char* names[] = {"accel_x", "accel_y", "accel_z", "anglvel_x", "anglvel_y", "anglvel_z"};
    for (int i = 0; i < 6; ++i) {
      const fs::path stem = device(n) / "scan_elements" / (std::string("in_") + names[i]);
      write(stem.string() + "_en", "0");
      write(stem.string() + "_index", std::to_string(i));
      write(stem.string() + "_type", "le:s16/16>>0");
    }
    const fs::path ts = device(n) / "scan_elements" / "in_timestamp";
    write(ts.string() + "_en", "0");
    write(ts.string() + "_index", "6");
    write(ts.string() + "_type", "le:s64/64>>0");
    write(device(n) / "buffer/enable", "0");
    write(device(n) / "buffer/length", "2");
  }
  // Records of 24 bytes: six s16 values, padding, the time in ns.
  void writeRecords(int n, int count, kit::Vector3 accelG, kit::Vector3 gyro, double start) {
    std::ofstream out(root / "dev" / ("iio:device" + std::to_string(n)),
                      std::ios::binary | std::ios::app);
    for (int k = 0; k < count; ++k) {
      std::uint8_t r[24] = {};
      const double v[6] = {-accelG.x * kG * 100, -accelG.y * kG * 100, -accelG.z * kG * 100,
                           gyro.x * 1000,        gyro.y * 1000,        gyro.z * 1000};
      for (int i = 0; i < 6; ++i) {
        const auto raw = static_cast<std::int16_t>(std::lround(v[i]));
        std::memcpy(r + 2 * i, &raw, 2);
      }
      const auto ns = static_cast<std::int64_t>(std::llround((start + k / 120.0) * 1e9));
      std::memcpy(r + 16, &ns, 8);
      out.write(reinterpret_cast<const char*>(r), sizeof r);
    }
  }
};

TEST_F(FakeIioBuffer, RecordsFromTheCharacterDeviceAreFusedOnTheKernelsTime) {
  addImu(0);
  addScan(0);
  setImu(0, {0, 0, -1}, {});
  writeRecords(0, 120, {0, 0, -1}, {0, 0, 1}, 5);  // one second turning at 1 rad/s
  {
    std::string why;
    auto source = open(&why, true);
    ASSERT_NE(source, nullptr) << why;
    ASSERT_TRUE(source->isBuffered());
    EXPECT_EQ(read(device(0) / "buffer/enable"), "1");
    EXPECT_EQ(read(device(0) / "scan_elements/in_anglvel_z_en"), "1");
    EXPECT_EQ(read(device(0) / "scan_elements/in_timestamp_en"), "1");
    source->pump(100);  // the polling time is not used: records carry their own
    const auto s = source->sample(100);
    ASSERT_TRUE(s);
    EXPECT_NEAR(s->rotationRate.z, 1, 1e-9);
    EXPECT_NEAR(s->attitude.yaw, kPi / 2 + 119 / 120.0, 0.01);
    EXPECT_NEAR(s->acceleration.z, -1, 0.001);
  }
  // Closing gives the buffer back.
  EXPECT_EQ(read(device(0) / "buffer/enable"), "0");
}

TEST_F(FakeIioBuffer, ABufferAnotherProgramHoldsOrNoDeviceNodeMeansPolling) {
  addImu(0);
  addScan(0);
  setImu(0, {0, 0, -1}, {});
  write(device(0) / "buffer/enable", "1");  // someone else's
  writeRecords(0, 1, {0, 0, -1}, {}, 0);
  kit::LogCapture log;
  auto source = open(nullptr, true);
  ASSERT_NE(source, nullptr);
  EXPECT_FALSE(source->isBuffered());
  EXPECT_EQ(read(device(0) / "scan_elements/in_accel_x_en"), "0");  // left alone
  source->pump(0);
  ASSERT_TRUE(source->sample(0));
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_NE(log.lines()[0].find("polling"), std::string::npos);

  fs::remove(root / "dev/iio:device0");
  write(device(0) / "buffer/enable", "0");
  auto noNode = open(nullptr, true);
  EXPECT_FALSE(noNode->isBuffered());
}

TEST_F(FakeIio, TheBackgroundReaderHandsSamplesToTheMainThreadOnly) {
  addImu(0);
  setImu(0, {0, 0, -1}, {});
  kit::IioMotionOptions o;  // a worker thread, on the real clock
  auto opened = kit::IioMotionSource::open(paths(), o);
  ASSERT_TRUE(opened) << opened.error().message;
  auto source = std::move(*opened);
  // Its first reading comes at once; wait for it without sleeping blindly.
  std::optional<kit::MotionSample> s;
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!s && std::chrono::steady_clock::now() < giveUp) {
    s = source->sample(0);
    if (!s) std::this_thread::yield();
  }
  source.reset();  // joins the worker
  ASSERT_TRUE(s);
  EXPECT_TRUE(s->isFinite());
}

}  // namespace
