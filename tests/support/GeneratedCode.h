#pragma once
// Texts shaped like the code people open, for tests and benchmarks alike, the same for the same seed.
// The JavaScript nests blocks deeply and holds what a plain bracket scan misreads: strings with
// escaped quotes, regular-expression literals holding brackets, template literals with nested
// expressions, apostrophes in comments.
#include <QString>
#include <random>

namespace generated_code {

class JavaScriptWriter {
public:
    explicit JavaScriptWriter(unsigned seed) : random_(seed) {}

    QString write(qsizetype units) {
        out_.reserve(units + 4096);
        for (int module = 0; out_.size() < units; ++module) {
            line(0, QStringLiteral("// section %1: reads \"quoted\" names, won't (usually) throw").arg(module));
            switch (pick(4)) {
            case 0: classDeclaration(module); break;
            case 1: configObject(module); break;
            default: functionDeclaration(0, QStringLiteral("export function handle%1").arg(module)); break;
            }
            out_ += u'\n';
        }
        return out_;
    }

private:
    int pick(int n) { return int(random_() % unsigned(n)); }
    bool chance(int percent) { return pick(100) < percent; }
    QString name() { return QStringLiteral("v%1").arg(++names_); }

    void line(int indent, const QString& text) {
        out_ += QString(indent * 2, u' ');
        out_ += text;
        out_ += u'\n';
    }

    void classDeclaration(int module) {
        line(0, QStringLiteral("export class Widget%1 extends Base {").arg(module));
        line(1, "constructor(options = {}) {");
        line(2, "super(options);");
        line(2, "this.pattern = /^\\s*\\(([^)]*)\\)\\s*$/;");
        line(2, QStringLiteral("this.title = \"widget \\\"%1\\\" (main)\";").arg(module));
        line(1, "}");
        for (int m = 1 + pick(3); m > 0; --m) functionDeclaration(1, QStringLiteral("method%1").arg(pick(1000)));
        line(0, "}");
    }

    void configObject(int module) {
        line(0, QStringLiteral("export const table%1 = {").arg(module));
        objectBody(1, 3 + pick(10));
        line(0, "};");
    }

    void objectBody(int indent, int depth) {
        for (int k = 2 + pick(3); k > 0; --k) {
            const QString key = name();
            if (depth > 0 && chance(35)) {
                line(indent, key + ": {");
                objectBody(indent + 1, depth - 1);
                line(indent, "},");
            } else if (chance(30)) {
                line(indent, key + ": [");
                line(indent + 1, "1, 2, 3,");
                line(indent + 1, "'a', \"b\", `c`,");
                line(indent, "],");
            } else {
                line(indent, key + ": " + literal() + ",");
            }
        }
    }

    void functionDeclaration(int indent, const QString& head) {
        line(indent, head + "(items, options = {}) {");
        statements(indent + 1, 1 + pick(8));
        line(indent + 1, "return items;");
        line(indent, "}");
    }

    QString literal() {
        // Mostly plain values; now and then one that a plain bracket scan misreads.
        if (chance(95)) {
            switch (pick(6)) {
            case 0: return QStringLiteral("{ a: [1, 2], b: { c: 'd' } }");
            case 1: return QStringLiteral("'plain'");
            case 2: return QStringLiteral("\"plain\"");
            case 3: return QString::number(pick(100000));
            case 4: return QStringLiteral("`${items.length} (${options.kind ?? \"none\"}) [${items.map((x) => `<${x}>`).join(\", \")}]`");
            default: return QStringLiteral("items[%1]").arg(pick(10));
            }
        }
        switch (pick(4)) {
        case 0: return QStringLiteral("\"say \\\"(\\\" twice\"");
        case 1: return QStringLiteral("'it\\'s here'");
        case 2: return QStringLiteral("/[(\\[{]+/g");
        default: return QStringLiteral("/\\)\\s*$/");
        }
    }

    void statements(int indent, int depth) {
        for (int k = 1 + pick(4); k > 0; --k) {
            const int kind = depth > 0 ? pick(10) : 9;
            const QString v = name();
            switch (kind) {
            case 0:
                line(indent, QStringLiteral("if (%1 && options.%1 !== %2) {").arg(v, literal()));
                statements(indent + 1, depth - 1);
                if (chance(40)) {
                    line(indent, "} else {");
                    statements(indent + 1, depth - 1);
                }
                line(indent, "}");
                break;
            case 1:
                line(indent, QStringLiteral("for (const %1 of items) {").arg(v));
                statements(indent + 1, depth - 1);
                line(indent, "}");
                break;
            case 2:
                line(indent, QStringLiteral("items.forEach((%1, i) => {").arg(v));
                statements(indent + 1, depth - 1);
                line(indent, "});");
                break;
            case 3:
                line(indent, "try {");
                statements(indent + 1, depth - 1);
                line(indent, "} catch (error) {");
                line(indent + 1, "console.error(`failed: ${error.message} (\"${options.name}\")`);");
                line(indent, "}");
                break;
            case 4:
                line(indent, QStringLiteral("const %1 = {").arg(v));
                objectBody(indent + 1, depth - 1);
                line(indent, "};");
                break;
            case 5:
                line(indent, QStringLiteral("const %1 = call(").arg(v));
                line(indent + 1, literal() + ",");
                line(indent + 1, literal());
                line(indent, ");");
                break;
            case 6:
                line(indent, QStringLiteral("switch (%1.kind) {").arg(v));
                line(indent + 1, "case \"open (\":");
                statements(indent + 2, depth - 1);
                line(indent + 2, "break;");
                line(indent + 1, "default:");
                line(indent + 2, QStringLiteral("%1.push(%2);").arg(v, literal()));
                line(indent, "}");
                break;
            case 7: line(indent, QStringLiteral("// don't touch %1 (it's shared)").arg(v)); break;
            default: line(indent, QStringLiteral("const %1 = %2;").arg(v, literal())); break;
            }
        }
    }

    std::mt19937 random_;
    QString out_;
    int names_ = 0;
};

// About `units` UTF-16 units of JavaScript, ending at a line end.
inline QString realShapedJavaScript(qsizetype units, unsigned seed = 1) { return JavaScriptWriter(seed).write(units); }

// About `units` of JSON, one record a line, each nesting `depth` objects.
inline QString nestedJson(qsizetype units, int depth) {
    QString out;
    out.reserve(units + 1024);
    out += "[\n";
    for (int i = 0; out.size() < units; ++i) {
        out += "  ";
        for (int d = 0; d < depth; ++d) out += QStringLiteral("{\"k%1\": ").arg(d);
        out += QStringLiteral("{\"id\": %1, \"name\": \"item %1\", \"tags\": [\"a\", \"b\"]}").arg(i);
        out += QString(depth, u'}');
        out += ",\n";
    }
    out += "  {}\n]\n";
    return out;
}

// Short functions of a few nested blocks each, all alike but for a counter, to about `units` units:
// what the keystroke benchmarks type into.
inline QString helperFunctions(qsizetype units) {
    QString out;
    out.reserve(units + 512);
    for (int i = 0; out.size() < units; ++i) {
        const QString n = QString::number(i);
        out += "// helper number " + n + " with a \"quoted\" word\n";
        out += "export function helper" + n + "(items, options = {}) {\n";
        out += "  const total = items.reduce((sum, x) => sum + x * " + n + ", 0);\n";
        out += "  if (options.verbose) {\n";
        out += "    console.log(`total ${total}`, [1, 2, 3]);\n";
        out += "  }\n";
        out += "  return { total, name: 'helper" + n + "' };\n";
        out += "}\n\n";
    }
    return out;
}

} // namespace generated_code
