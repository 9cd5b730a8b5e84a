#include "AppFolder.h"

#include "app/KitTool.h"
#include "model/Documents.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

using namespace tamborel;
namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int status;
    std::string out, err;
};

ToolRun run(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = app::runKitTool(args, out, err);
    return {status, out.str(), err.str()};
}

} // namespace

TEST(KitTool, MapPrintsAKitNamedAfterTheFolder) {
    test::resetAppFolder();
    const fs::path folder = storage::folder() / "My Kit";
    fs::create_directories(folder);
    test::writeText(folder / "Kick 01.wav", "");
    test::writeText(folder / "snare.wav", "");
    test::writeText(folder / "Kick 02.wav", "");

    ToolRun result = run({"map", folder.string() + "/"});
    ASSERT_EQ(result.status, 0) << result.err;
    auto kit = documents::readKit(result.out);
    ASSERT_TRUE(kit) << kit.error;
    EXPECT_EQ(kit.value->name, "My Kit");
    const DrumPad kick = *kit.value->pad(PadRole::kick);
    EXPECT_TRUE(kick.sampleURL->toPath() == folder / "Kick 01.wav" ||
                kick.sampleURL->toPath() == folder / "Kick 02.wav"); // listing order
    ASSERT_EQ(kick.samples.size(), 2u);                              // the numbered takes
    EXPECT_EQ(kick.samples[1].url.toPath(), folder / "Kick 02.wav");
    EXPECT_TRUE(kit.value->pad(PadRole::snare)->samples.empty());
    EXPECT_FALSE(kit.value->pad(PadRole::ride)->sampleURL);
    EXPECT_TRUE(storage::savedKits().empty()); // printed, not saved

    result = run({"map", folder.string(), "--name", "Studio"});
    EXPECT_EQ(documents::readKit(result.out).value->name, "Studio");
}

TEST(KitTool, CheckReportsEachFileAndFailsIfAnyIsRejected) {
    test::resetAppFolder();
    const fs::path good = storage::folder() / "good.json";
    const fs::path bad = storage::folder() / "bad.json";
    storage::writeKit(DrumKit("Good"), good);
    test::writeText(bad,
                    R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","masterVolume":1,"name":"K",
        "pads":[{"muted":false,"notes":[],"pan":0,"role":"hihat","soloed":false,"volume":1}]})");

    ToolRun result = run({"check", good.string()});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "ok " + good.string() + "\n");

    result = run({"check", good.string(), bad.string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("rejected " + bad.string() + ": pads[0].role"), std::string::npos)
        << result.out;
}

TEST(KitTool, ListShowsSavedKitsInOrderAndBadArgumentsGiveUsage) {
    test::resetAppFolder();
    storage::saveKit(DrumKit("b"));
    storage::saveKit(DrumKit("A"));
    ToolRun result = run({"list"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, (storage::kitsFolder() / "A.json").string() + "\n" +
                              (storage::kitsFolder() / "b.json").string() + "\n");

    for (auto args : std::vector<std::vector<std::string>>{
             {}, {"frobnicate"}, {"check"}, {"map"}, {"map", "/", "--nam", "x"}, {"list", "x"}}) {
        result = run(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.err.rfind("usage: tamborel-kit", 0), 0u);
    }
}

TEST(KitTool, ImportPrintsTheKitAndItsSummaryOrOneLineWhyNot) {
    test::resetAppFolder();
    const fs::path folder = storage::folder() / "sfz";
    fs::create_directories(folder);
    test::writeText(folder / "kick.wav", "");
    // A typo SFZ players shrug off (Salamander's hi-hat) plays, named in the summary.
    test::writeText(folder / "kit.sfz", "<region> key=36 sample=kick.wav lorand=0.45 hirand=60\n");
    ToolRun result = run({"import", (folder / "kit.sfz").string()});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err.rfind("Imported 1 pad", 0), 0u) << result.err;
    EXPECT_NE(result.err.find("clamped: hirand=60 (1)"), std::string::npos) << result.err;
    const auto kit = documents::readKit(result.out);
    ASSERT_TRUE(kit);
    EXPECT_EQ(kit.value->pad(PadRole::kick)->sampleURL->toPath(), folder / "kick.wav");

    result = run({"import", (folder / "none.sfz").string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "tamborel-kit: cannot read none.sfz\n");
}

TEST(KitTool, ListRunsFromAWorkingFolderThatWasDeleted) {
    const fs::path gone = storage::folder().parent_path() / "gone";
    fs::create_directories(gone);
    const std::string command = "cd '" + gone.string() +
                                "' && rmdir \"$PWD\" && '" TAMBOREL_KIT_PROGRAM "' list >/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
}
