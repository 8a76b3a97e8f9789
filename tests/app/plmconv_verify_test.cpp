// Verification of written outputs: a damaged write is caught and removed before it
// takes the output's name, so an earlier output and its backup stay; sound writes pass.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "app/plmconv.h"
#include "jws/jwsdocument.h"
#include "jww/jwwdocument.h"
#include "shell/conversion.h"
#include "tests/support/body_model.h"
#include "tests/support/bytes.h"
#include "tests/support/convert_one.h"

namespace plm {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using plmtest::Body;
using plmtest::Bytes;
using plmtest::ReadFileBytes;
using plmtest::WriteFileBytes;

// Stands in for a write that went wrong: changes the output once it is on disk (under
// its temporary name, before it is verified).
class DamagingObserver : public ConversionObserver {
 public:
  explicit DamagingObserver(std::function<void(const fs::path&)> damage) : damage_(std::move(damage)) {}
  void AfterSave(const fs::path& output) override {
    if (damage_) damage_(output);
  }

 private:
  std::function<void(const fs::path&)> damage_;
};

// The rich body with a bound image that a text refers to, so a version-700 output
// must carry the image read back from the image folder.
Body BodyWithImage() {
  Body body = plmtest::RichBody();
  body.Entities.push_back(plmtest::SampleMoji(300, plmtest::MakeAttr(1, 2), 0, -1.0, "^@BM%temp%PIC.BMP,1,2"));
  plmtest::Image image{"PIC.BMP", 3000, {}};
  for (int i = 0; i < image.Size; ++i) image.Data.push_back(static_cast<uint8_t>(i * 7));
  body.Images = {image};
  return body;
}

std::vector<uint8_t> Jww700() {
  Bytes b = plmtest::JwwHeaderBytes(700);
  b.append(plmtest::EncodeBody(BodyWithImage(), 700, true));
  return b.data();
}

std::vector<uint8_t> Jws420() {
  Bytes b = plmtest::JwsHeaderBytes(420);
  b.append(plmtest::EncodeBody(plmtest::RichBody(), 420, false));
  return b.data();
}

void FlipByte(const fs::path& file, size_t offset) {
  std::vector<uint8_t> bytes = ReadFileBytes(file);
  bytes.at(offset) ^= 0x10;
  WriteFileBytes(file, bytes);
}

const std::vector<uint8_t> kEarlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};

TEST(PlmconvVerifyTest, DamagedWritesAreCaughtAndNeverReplaceTheEarlierOutput) {
  plmtest::TempDir dir;
  fs::create_directories(dir / "in");
  fs::create_directories(dir / "TEMP");
  WriteFileBytes(dir / "in" / "D.JWW", Jww700());
  WriteFileBytes(dir / "in" / "F.JWS", Jws420());
  struct Damage {
    const char* name;
    std::function<void(const fs::path&)> damage;
    std::string reason;  // a part of the failure reason; empty for the control
  };
  const std::vector<Damage> damages = {
      {"control: nothing damaged", nullptr, ""},
      {"one byte flipped", [](const fs::path& f) { FlipByte(f, 700); }, "differs from the written drawing at byte 700"},
      {"last byte missing",
       [](const fs::path& f) {
         std::vector<uint8_t> b = ReadFileBytes(f);
         b.pop_back();
         WriteFileBytes(f, b);
       },
       "bytes long, not"},
      {"a byte too many",
       [](const fs::path& f) {
         std::vector<uint8_t> b = ReadFileBytes(f);
         b.push_back(0);
         WriteFileBytes(f, b);
       },
       "bytes long, not"},
      {"a sound drawing, but not the one written (the input before the rule)",
       [&](const fs::path& f) {
         // f is the output's temporary, named after the output.
         const char* input = f.filename().string().find("D.JWW") != std::string::npos ? "D.JWW" : "F.JWS";
         fs::copy_file(dir / "in" / input, f, fs::copy_options::overwrite_existing);
       },
       "differs from the written drawing"},
      {"the output gone", [](const fs::path& f) { fs::remove(f); }, "could not be read back"},
  };
  for (const char* name : {"D.JWW", "F.JWS"}) {
    for (const bool earlier : {false, true}) {
      for (const Damage& d : damages) {
        SCOPED_TRACE(std::string(name) + (earlier ? " over an earlier output: " : ": ") + d.name);
        plmtest::TempDir out;
        if (earlier) {
          WriteFileBytes(out / name, kEarlier);
          WriteFileBytes(out / plmtest::BackupOf(name), {'o', 'l', 'd'});
        }
        auto state = std::make_unique<ShellState>();
        state->Images.TempFolder = dir / "TEMP";
        state->Options = plmtest::OptionsFromBits(15);
        DamagingObserver observer(d.damage);
        ConvertHooks hooks;
        hooks.Observer = &observer;
        hooks.Verify = true;
        const std::string input = (dir / "in" / name).string(), output = (out / name).string();
        const ConvertResult r = fs::path(name).extension() == ".JWW"
                                    ? plmtest::ConvertOne(*state, JwwFormat(), input, output, ConvertMode::Write, hooks)
                                    : plmtest::ConvertOne(*state, JwsFormat(), input, output, ConvertMode::Write, hooks);
        if (d.reason.empty()) {
          EXPECT_EQ(r.Outcome, ConvertOutcome::Converted) << r.Reason;
          // The control really converted something, so the damages below hit real output.
          EXPECT_GT(r.Changes.Total(), 0u);
          EXPECT_NE(ReadFileBytes(out / name), ReadFileBytes(dir / "in" / name));
          EXPECT_EQ(fs::exists(out / plmtest::BackupOf(name)), earlier);
        } else {
          EXPECT_EQ(r.Outcome, ConvertOutcome::VerifyFailed);
          EXPECT_NE(r.Reason.find(d.reason), std::string::npos) << r.Reason;
          EXPECT_NE(r.Reason.find("did not replace anything"), std::string::npos) << r.Reason;
          const fs::path backup = out / plmtest::BackupOf(name);
          if (earlier) {
            EXPECT_EQ(ReadFileBytes(out / name), kEarlier);
            EXPECT_EQ(ReadFileBytes(backup), (std::vector<uint8_t>{'o', 'l', 'd'}));
          } else {
            EXPECT_FALSE(fs::exists(out / name));
            EXPECT_FALSE(fs::exists(backup));
          }
        }
        // Nothing of the conversion stays in the image folder, nor in the save folder.
        EXPECT_TRUE(fs::is_empty(dir / "TEMP"));
        for (const auto& e : fs::directory_iterator(out.path()))
          EXPECT_TRUE(e.path().filename() == name || e.path().filename() == plmtest::BackupOf(name)) << e.path();
        EXPECT_EQ(ReadFileBytes(dir / "in" / name), fs::path(name).extension() == ".JWW" ? Jww700() : Jws420());
      }
    }
  }
}

// Without verification the same damage goes unnoticed: the check above is what catches it.
TEST(PlmconvVerifyTest, WithoutVerificationADamagedWriteStands) {
  plmtest::TempDir dir, out;
  WriteFileBytes(dir / "F.JWS", Jws420());
  auto state = std::make_unique<ShellState>();
  state->Images.TempFolder = dir.path();
  DamagingObserver observer([](const fs::path& f) { FlipByte(f, 700); });
  ConvertHooks hooks;
  hooks.Observer = &observer;
  const ConvertResult r =
      plmtest::ConvertOne(*state, JwsFormat(), (dir / "F.JWS").string(), (out / "F.JWS").string(), ConvertMode::Write, hooks);
  EXPECT_EQ(r.Outcome, ConvertOutcome::Converted) << r.Reason;
  EXPECT_TRUE(fs::exists(out / "F.JWS"));
}

// Sound writes of every kind verify: version 700 with its bound image, JWS, strings
// that the writer's filter changes (so a naive reload-and-rewrite check would not be
// stable), and the real drawings.
TEST(PlmconvVerifyTest, SoundWritesVerifyFromTheCommandLine) {
  plmtest::TempDir dir, out;
  WriteFileBytes(dir / "D.JWW", Jww700());
  WriteFileBytes(dir / "F.JWS", Jws420());
  Body filtered = plmtest::RichBody();
  filtered.Entities.push_back(plmtest::SampleMoji(400, plmtest::MakeAttr(1, 2), 0, -1.0, "^^mm\x01^m"));
  Bytes b = plmtest::JwwHeaderBytes(351);
  b.append(plmtest::EncodeBody(filtered, 351, false));
  WriteFileBytes(dir / "S.JWW", b.data());
  std::ostringstream o, e;
  const int code = PlmconvMain({"convert", "--all", "--verify", "-o", out.path().string(), dir.path().string()}, o, e);
  EXPECT_EQ(code, kExitOk) << o.str() << e.str();
  const std::string d = (dir / "D.JWW").string(), f = (dir / "F.JWS").string(), s = (dir / "S.JWW").string();
  EXPECT_EQ(o.str(), d + ": converted\n" + f + ": converted\n" + s + ": converted\n");

  const fs::path corpus = plmtest::CorpusFolder();
  if (corpus.empty()) GTEST_SKIP() << "corpus folder absent";
  plmtest::TempDir corpusOut;
  std::ostringstream co, ce;
  const int corpusCode =
      PlmconvMain({"convert", "--all", "--verify", "-o", corpusOut.path().string(), corpus.string()}, co, ce);
  EXPECT_EQ(co.str().find("did not"), std::string::npos) << co.str();
  EXPECT_EQ(co.str().find("read back"), std::string::npos) << co.str();
  EXPECT_EQ(corpusCode, kExitOk) << co.str() << ce.str();
}

}  // namespace
}  // namespace plm
