// What the installer says, written once for every test: the captions, the
// texts of its boxes, and the name of the game's lock.
#ifndef LEVELSET_TESTS_TEXTS_H
#define LEVELSET_TESTS_TEXTS_H

#include <cstdint>
#include <ostream>
#include <string>

#include "platform/platform.h"

constexpr char kGameLockName[] = "QovCurrentlyRunningMutex";

constexpr char kQuestionCaption[] = "Quillomar";
constexpr char kInstalledCaption[] = "Level Set Installed";
constexpr char kNotFoundCaption[] = "Level Set Not Found";
constexpr char kInvalidCaption[] = "Invalid File";
constexpr char kRunningCaption[] = "Quillomar is Running";
constexpr char kCopyErrorCaption[] = "Error Installing Level Set";

// A box as the tests see it.
struct Box {
  std::string caption;
  uint32_t style;
  std::string text;
};

inline Box QuestionBox(const std::string& name) {
  return {kQuestionCaption, kBoxYesNo | kBoxIconQuestion,
          "Would you like to install the level set \"" + name + "\" into your Quillomar game?"};
}
inline Box DoneBox(const std::string& name) {
  return {kInstalledCaption, kBoxOk | kBoxIconInformation,
          "The level set \"" + name + "\" has been installed.\n\nYou can play it by running Quillomar."};
}
inline Box AlreadyBox(const std::string& name) {
  return {kInstalledCaption, kBoxOk | kBoxIconInformation,
          "The level set \"" + name +
              "\" is already installed.\n\nYou can play it by running Quillomar."};
}
inline Box NotFoundBox(const std::string& path) {
  return {kNotFoundCaption, kBoxOk | kBoxIconStop,
          "The named file: \"" + path +
              "\" could not be found, so it could not be installed as a Quillomar level set"};
}
inline Box InvalidBox(const std::string& path) {
  return {kInvalidCaption, kBoxOk | kBoxIconStop, "The named file: \"" + path + "\" is not a Quillomar level set"};
}
inline Box RunningBox() {
  return {kRunningCaption, kBoxRetryCancel | kBoxIconWarning,
          "You can not install level sets while Quillomar is running.  Quillomar (or another "
          "Morvalic game) is running on this computer and must be closed before you can "
          "continue.\n\nIf you want to install the level set, close the game and click retry"};
}
inline Box CopyErrorBox(const std::string& path, const std::string& systemText) {
  return {kCopyErrorCaption, kBoxOk | kBoxIconInformation,
          "The Level Set: \"" + path + "\" could not be installed, due to the following error:\n\t" +
              systemText};
}

inline bool operator==(const Box& a, const Box& b) {
  return a.caption == b.caption && a.style == b.style && a.text == b.text;
}
// How GoogleTest shows a box that differs.
inline void PrintTo(const Box& box, std::ostream* out) {
  *out << "{\"" << box.caption << "\", 0x" << std::hex << box.style << std::dec << ", \""
       << box.text << "\"}";
}

#endif
