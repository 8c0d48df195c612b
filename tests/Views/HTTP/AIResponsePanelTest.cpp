// The Ask-AI panel: its prompt texts, its presets and a question put to a stand-in tool.
#include <QFile>
#include <QLineEdit>
#include <gtest/gtest.h>

#include "Git/AIService.h"
#include "TestSupport.h"
#include "UI/PressableButton.h"
#include "Views/HTTP/AIResponsePanel.h"

using namespace testing_support;

namespace {

HTTPRequest request(const QString& body = {}) {
    HTTPRequest r;
    r.method = HTTPMethod::post;
    r.url = "https://{{host}}/x";
    r.body = body;
    return r;
}

HTTPResponse response(int status, const QByteArray& body = {}) {
    HTTPResponse r;
    r.status = status;
    r.statusText = "Nope";
    r.body = body;
    r.size = 99;
    r.duration = 0.1239;
    return r;
}

// A tool named "claude" on the search path that answers (or fails) as scripted.
struct FakeTool {
    TempFolder dir;
    QString oldPrefix = AIService::searchPathPrefix();
    explicit FakeTool(const QByteArray& script) {
        const QString path = dir.write("claude", "#!/bin/sh\n" + script + "\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        AIService::setSearchPathPrefix(dir.path());
    }
    ~FakeTool() { AIService::setSearchPathPrefix(oldPrefix); }
};

} // namespace

TEST(AskPrompts, ContextBlockLaysOutRequestAndResponse) {
    EXPECT_EQ(AIResponsePanel::contextBlock(request(), response(0)),
              "REQUEST:\nPOST https://{{host}}/x\n\n\n\nRESPONSE:\nStatus: 0 Nope\nContent-Type: ?\nDuration: 123 ms\n"
              "Size: 99 bytes\n\nBODY:\n");
    HTTPRequest r = request("abc");
    r.headers = {KeyValueItem{QUuid::createUuid(), "Accept", "x", true},
                 KeyValueItem{QUuid::createUuid(), "Authorization", "secret", false}};
    HTTPResponse resp = response(200, "ok");
    resp.headers = {{"Content-type", "text/plain"}};
    const QString block = AIResponsePanel::contextBlock(r, resp);
    EXPECT_TRUE(block.startsWith("REQUEST:\nPOST https://{{host}}/x\nAccept: x\n\nabc\n\nRESPONSE:\n"));
    EXPECT_FALSE(block.contains("secret"));
    EXPECT_TRUE(block.contains("Content-Type: ?\n"));
    EXPECT_TRUE(block.endsWith("BODY:\nok"));
}

TEST(AskPrompts, BodiesAreCutByCharactersNeverSplittingOne) {
    const QString block = AIResponsePanel::contextBlock(request(QString(801, 'a')), response(200, QByteArray(2001, 'b')));
    EXPECT_TRUE(block.contains(QString(800, 'a') + "\n\nRESPONSE"));
    EXPECT_TRUE(block.endsWith("\n" + QString(2000, 'b')));
    const QString flags = QString::fromUtf8("🇫🇷🇩🇪");
    EXPECT_EQ(AIResponsePanel::leadingCharacters(flags, 1), QString::fromUtf8("🇫🇷"));
    EXPECT_EQ(AIResponsePanel::contextBlock(request(), response(200, "\xff")).right(6), "BODY:\n");
}

// Only the head of a large body is looked at for the prompt: a byte that is not UTF-8 far past it
// (never decoded) does not drop the body, and a head that is not text still does.
TEST(AskPrompts, ALargeBodyIsLookedAtOnlyAsFarAsThePromptTakes) {
    const QByteArray large = QByteArray(40 * 1024 * 1024, 'b') + "\xff";
    const QString block = AIResponsePanel::contextBlock(request(QString(40 * 1024 * 1024, 'a')), response(200, large));
    EXPECT_TRUE(block.contains("\n" + QString(800, 'a') + "\n\nRESPONSE"));
    EXPECT_TRUE(block.endsWith("BODY:\n" + QString(2000, 'b')));
    EXPECT_TRUE(AIResponsePanel::contextBlock(request(), response(200, "\xff" + large)).endsWith("BODY:\n"));
    // A character cut where the head ends is no error: it is left out.
    const QByteArray wide = QString(60000, QChar(0x00e9)).toUtf8();  // two bytes each
    EXPECT_TRUE(AIResponsePanel::contextBlock(request(), response(200, wide)).endsWith(QString(2000, QChar(0x00e9))));
    const QString marks = u'e' + QString(100000, QChar(0x0301));  // one character of 100,001 units
    EXPECT_LE(AIResponsePanel::leadingCharacters(marks + "x", 1).size(), marks.size());
}

TEST(AskPrompts, PresetsAndQuestionWrapTheBlock) {
    const HTTPRequest r = request();
    const HTTPResponse s = response(404);
    const QString block = AIResponsePanel::contextBlock(r, s);
    EXPECT_TRUE(AIResponsePanel::debugPrompt(r, s).startsWith("This HTTP request returned a 404. Based on the request\n"));
    EXPECT_TRUE(AIResponsePanel::curlPrompt(r, s).endsWith(block));
    EXPECT_EQ(AIResponsePanel::questionPrompt(r, s, "  why?\n"),
              "Question about the following HTTP request/response:\n\n" + block + "\n\nQuestion: why?");
}

TEST(AskPanel, OffersTheStatusPresetFrom400AndNeedsAQuestionToSend) {
    AIResponsePanel ok(request(), response(399));
    AIResponsePanel bad(request(), response(400));
    ASSERT_EQ(ok.presetButtons().size(), 3);
    ASSERT_EQ(bad.presetButtons().size(), 4);
    EXPECT_EQ(AIResponsePanel(request(), response(0)).presetButtons().size(), 3);
    bad.questionField()->setText("   ");
    EXPECT_FALSE(bad.sendButton()->isEnabled());
    bad.sendCustom();
    EXPECT_EQ(bad.questionField()->text(), "   ");
    EXPECT_FALSE(bad.isExpanded());
}

TEST(AskPanel, ShowsTheToolsAnswerThenItsFailure) {
    FakeTool tool("case \"$*\" in *fail*) echo 'quota exceeded' >&2; exit 3;; *) echo 'It is fine.';; esac");
    AIResponsePanel panel(request(), response(500));
    ASSERT_TRUE(waitUntil([&] { return panel.backend().has_value(); }));

    panel.questionField()->setText("is it ok?");
    panel.sendCustom();
    EXPECT_TRUE(panel.isBusy());
    EXPECT_TRUE(panel.isExpanded());
    EXPECT_TRUE(panel.questionField()->text().isEmpty());
    EXPECT_FALSE(panel.presetButtons()[0]->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return !panel.isBusy(); }, 120000));
    EXPECT_EQ(panel.answer(), "It is fine.");
    EXPECT_FALSE(panel.errorText());
    EXPECT_FALSE(panel.copyButton()->isHidden());

    panel.send("please fail");
    ASSERT_TRUE(waitUntil([&] { return !panel.isBusy(); }, 120000));
    EXPECT_TRUE(panel.answer().isEmpty());
    ASSERT_TRUE(panel.errorText());
    EXPECT_TRUE(panel.errorText()->contains("quota exceeded"));
    EXPECT_TRUE(panel.answerCard()->isHidden());
}
