// The files that come with the program for xscreensaver: every setting of the
// settings dialog's description (glimmerweave.xml) gives options the program
// accepts, its defaults are the program's, and the manual page describes every
// option that -help lists.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "native_program/hack_options.h"

namespace glimmerweave {
namespace {

std::string readFile(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string xmlText() {
  return readFile(std::string(GLIMMERWEAVE_X11_DATA_DIR) + "/glimmerweave.xml");
}

// Splits an option text as xscreensaver does before running the program.
std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> result;
  for (std::string word; in >> word;) result.push_back(word);
  return result;
}

HackCommand parseText(const std::string& text) {
  return parseHackCommand(words(text));
}

// The attributes of each element named `element` (name="value" pairs; the files
// use no other form).
std::vector<std::map<std::string, std::string>> elements(const std::string& xml,
                                                         const std::string& element) {
  std::vector<std::map<std::string, std::string>> found;
  const std::string open = "<" + element;
  for (std::size_t at = xml.find(open); at != std::string::npos; at = xml.find(open, at + 1)) {
    const std::size_t after = at + open.size();
    if (after >= xml.size() ||
        !(xml[after] == ' ' || xml[after] == '\n' || xml[after] == '/' || xml[after] == '>'))
      continue;  // another element whose name starts the same
    const std::size_t end = xml.find('>', after);
    const std::string attributes = xml.substr(after, end - after);
    std::map<std::string, std::string> values;
    for (std::size_t equals = attributes.find("=\""); equals != std::string::npos;
         equals = attributes.find("=\"", equals + 1)) {
      std::size_t name = equals;
      while (name > 0 && attributes[name - 1] != ' ' && attributes[name - 1] != '\n') --name;
      const std::size_t close = attributes.find('"', equals + 2);
      values[attributes.substr(name, equals - name)] =
          attributes.substr(equals + 2, close - equals - 2);
      equals = close;
    }
    found.push_back(values);
  }
  return found;
}

std::string substitute(std::string arg, int value) {
  arg.replace(arg.find('%'), 1, std::to_string(value));
  return arg;
}

TEST(XscreensaverSettings, EachSliderCoversExactlyTheOptionsRangeAndDefault) {
  const std::string xml = xmlText();
  ASSERT_FALSE(xml.empty()) << "glimmerweave.xml not found in " << GLIMMERWEAVE_X11_DATA_DIR;
  const HackOptions defaults;
  const std::map<std::string, std::int32_t> programDefaults = {
      {"speed", defaults.speed}, {"brightness", defaults.brightness}, {"detail", defaults.detail}};
  const auto sliders = elements(xml, "number");
  ASSERT_EQ(sliders.size(), 3u);
  for (const auto& slider : sliders) {
    const std::string id = slider.at("id");
    ASSERT_TRUE(programDefaults.count(id)) << id;
    const std::string arg = slider.at("arg");
    EXPECT_EQ(arg, "-" + id + " %");
    const int low = std::stoi(slider.at("low"));
    const int high = std::stoi(slider.at("high"));
    EXPECT_EQ(std::stoi(slider.at("default")), programDefaults.at(id)) << id;
    for (int value = low; value <= high; ++value)
      EXPECT_EQ(parseText(substitute(arg, value)).kind, HackCommand::Kind::Run) << id << value;
    EXPECT_EQ(parseText(substitute(arg, low - 1)).kind, HackCommand::Kind::Error) << id;
    EXPECT_EQ(parseText(substitute(arg, high + 1)).kind, HackCommand::Kind::Error) << id;
  }
}

TEST(XscreensaverSettings, TheAlgorithmMenuOffersEveryAlgorithmWithFifteenAsDefault) {
  const auto options = elements(xmlText(), "option");
  ASSERT_EQ(options.size(), 35u);
  int defaults = 0;
  for (std::size_t i = 0; i < options.size(); ++i) {
    const auto& option = options[i];
    const auto set = option.find("arg-set");
    if (set == option.end()) {
      // The entry without an option is the program's own default.
      ++defaults;
      EXPECT_EQ(i, std::size_t(HackOptions{}.algorithm));
      continue;
    }
    const HackCommand command = parseText(set->second);
    ASSERT_EQ(command.kind, HackCommand::Kind::Run) << set->second;
    EXPECT_EQ(command.options.algorithm, static_cast<std::int32_t>(i));
  }
  EXPECT_EQ(defaults, 1);
}

TEST(XscreensaverSettings, CheckBoxesAndTheCommandAreOptionsOfTheProgram) {
  const std::string xml = xmlText();
  std::map<std::string, std::string> boxes;
  for (const auto& box : elements(xml, "boolean")) boxes[box.at("id")] = box.at("arg-set");
  EXPECT_EQ(boxes["random"], "-random");
  EXPECT_EQ(boxes["showfps"], "-fps");
  for (const auto& [id, set] : boxes) EXPECT_EQ(parseText(set).kind, HackCommand::Kind::Run) << id;
  EXPECT_TRUE(parseText(boxes["random"]).options.randomAlgorithm);
  EXPECT_TRUE(parseText(boxes["showfps"]).options.fps);

  const auto command = elements(xml, "command");
  ASSERT_EQ(command.size(), 1u);
  const HackCommand root = parseText(command[0].at("arg"));
  ASSERT_EQ(root.kind, HackCommand::Kind::Run);
  EXPECT_EQ(root.options.place, HackPlace::Root);
  EXPECT_NE(xml.find("<screensaver name=\"glimmerweave\" _label=\"Glimmerweave\">"),
            std::string::npos);
}

TEST(ManualPage, DescribesEveryOptionThatHelpLists) {
  const std::string page = readFile(std::string(GLIMMERWEAVE_X11_DATA_DIR) + "/glimmerweave.6");
  ASSERT_FALSE(page.empty());
  EXPECT_EQ(page.rfind(".TH GLIMMERWEAVE 6", 0), 0u);
  // The options of -help are the words that start its indented lines.
  std::istringstream usage(hackUsage());
  int count = 0;
  for (std::string line; std::getline(usage, line);) {
    if (line.rfind("  -", 0) != 0) continue;
    const std::string option = line.substr(2, line.find(' ', 2) - 2);
    // Roff writes a dash as \-.
    std::string roff;
    for (const char ch : option) roff += ch == '-' ? std::string("\\-") : std::string(1, ch);
    // An option without a value is set in bold (.B), one with a value in bold
    // and italics (.BI); either ends the option's name with a blank.
    const bool described = page.find(".B " + roff + "\n") != std::string::npos ||
                           page.find(".BI " + roff + " ") != std::string::npos;
    EXPECT_TRUE(described) << option;
    ++count;
  }
  EXPECT_GE(count, 19);
}

}  // namespace
}  // namespace glimmerweave
