// The word passes' matches kept between looks: edits before and inside the stretch they cover move
// them or mark what to search again, so a look colours as a fresh highlighter does.
#include <gtest/gtest.h>

#include "Editor/HighlighterFactory.h"
#include "Editor/RegexHighlighter.h"
#include "HighlightTestSupport.h"

namespace {

// A word typed inside the stretch, then text taken out or put in before the stretch, both before the
// next look: what is searched again must move with the text, or the word is left uncoloured.
TEST(RegexWordCache, AWordTypedThenTextChangedBeforeTheStretchColourAsAFreshLook) {
    for (const qsizetype delta : {-5, -40, -400, 5}) {
        QString text = QStringLiteral("let a = 1\n").repeated(3000);
        const auto h = HighlighterFactory::regex(CodeLanguage::swift);
        const qsizetype mid = 15000;
        (void)h->ranges(text, TextRange{mid, 400});
        h->noteEdit(highlight_test::replace(text, mid + 4, 1, QStringLiteral("return")));
        h->noteEdit(delta < 0 ? highlight_test::replace(text, 100, -delta, QString())
                              : highlight_test::replace(text, 100, 0, QString(delta, u'x')));
        // The same stretch as the first look's, as the editor asks again for the lines it shows.
        const TextRange range{mid + delta, 405};
        EXPECT_EQ(h->ranges(text, range), HighlighterFactory::regex(CodeLanguage::swift)->ranges(text, range)) << delta;
        EXPECT_TRUE(highlight_test::texts(h->ranges(text, range), text, TokenRole::keyword).contains("return")) << delta;
    }
}

} // namespace
