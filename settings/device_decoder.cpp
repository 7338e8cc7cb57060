#include "device_decoder.h"

#include <string>

#include "key_match.h"

namespace ortiva {

namespace {

// One found section: fields at offsets from the key's first character.
class Section {
public:
    Section(std::string_view text, size_t p, FieldSink& out) : text_(text), p_(p), out_(out) {}

    bool Has(size_t offset, size_t count) const { return p_ + offset + count <= text_.size(); }

    // The digit at `offset`, less `base`, as the list's index.
    void Digit(size_t offset, const char* list, int base = 0)
    {
        if (Has(offset, 1)) out_.SetIndex(list, DigitAt(text_, p_ + offset) - base);
    }

    void Number(size_t offset, size_t count, const char* list)
    {
        if (Has(offset, count)) out_.SetIndex(list, NumberAt(text_, p_ + offset, count));
    }

    // The count written as two digits from `offset` (each converted on its
    // own), or -1 when the reply ends before them.
    int CountOrNone(size_t offset) const
    {
        if (!Has(offset, 2)) return -1;
        return 10 * DigitAt(text_, p_ + offset) + DigitAt(text_, p_ + offset + 1);
    }

    void Text(size_t offset, size_t count, const char* edit)
    {
        if (Has(offset, count)) out_.SetText(edit, TextAt(text_, p_ + offset, count));
    }

private:
    std::string_view text_;
    size_t p_;
    FieldSink& out_;
};

// Runs `body` on the section of `key` when it is found.
template <class F>
void WithSection(std::string_view text, std::string_view key, FieldSink& out, F&& body)
{
    const size_t p = FindKey(text, key);
    if (p == std::string_view::npos) return;
    Section s(text, p, out);
    body(s);
}

// "CAMD?k:f<nn,hh hh ..": open flag at 7, count at 9 and 10, the command
// bytes' text (3n-1 characters) from 12.
void CustomCommand(std::string_view text, std::string_view key, const char* openList, const char* edit, FieldSink& out)
{
    WithSection(text, key, out, [&](Section& s) {
        s.Digit(7, openList);
        const int n = s.CountOrNone(9);
        if (n < 0) return;
        if (n == 0) {
            out.SetText(edit, "");
            return;
        }
        s.Text(12, static_cast<size_t>(3 * n - 1), edit);
    });
}

}  // namespace

void DecodeModbusParamsReply(std::string_view rxText, FieldSink& out)
{
    if (rxText.find("QQ") == std::string_view::npos) return;

    WithSection(rxText, "FMW:", out, [](Section& s) {
        s.Digit(4, "ComboBox18");
        s.Text(6, 5, "Beilv");
    });
    WithSection(rxText, "FMU:", out, [](Section& s) {
        s.Text(4, 5, "xishu2");
        s.Text(10, 5, "xishu3");
        s.Text(16, 5, "xishu4");
    });
    WithSection(rxText, "HART?:", out, [](Section& s) {
        s.Digit(6, "ComboBox6");
        s.Digit(8, "ComboBox16");
        s.Number(10, 2, "ComboBox17");
        s.Digit(13, "ComboBox34", 4);
        s.Text(15, 3, "Edit1");
    });
    WithSection(rxText, "DFO?:", out, [](Section& s) {
        s.Digit(5, "FAMOUT1");
        s.Digit(6, "FAMOUT3");
        s.Digit(7, "FAMOUT5");
        s.Digit(8, "FAMOUT7");
        s.Digit(9, "FAMOUT9");
    });

    if (out.Index("ComboBox17") != 0) {
        out.SetVisible("GroupBox13", false);
        return;
    }
    out.SetVisible("GroupBox13", true);

    WithSection(rxText, "ZDY?:", out, [](Section& s) {
        s.Digit(5, "ComboBox15", 3);
        const char* rows[4][3] = {{"RADCOM1", "READADR1", "READLG1"},
                                  {"RADCOM3", "READADR3", "READLG3"},
                                  {"RADCOM5", "READADR5", "READLG5"},
                                  {"RADCOM7", "READADR7", "READLG7"}};
        for (size_t i = 0; i < 4; ++i) {
            const size_t at = 7 + 5 * i;
            s.Digit(at, rows[i][0]);
            s.Text(at + 1, 2, rows[i][1]);
            s.Digit(at + 3, rows[i][2]);
        }
    });
    WithSection(rxText, "MD:", out, [](Section& s) {
        s.Digit(3, "ComboBox7");
        s.Digit(3, "ComboBox14");
    });
    CustomCommand(rxText, "CAMD?1:", "ComboBox28", "Edit4", out);
    CustomCommand(rxText, "CAMD?2:", "ComboBox29", "Edit5", out);
}

}  // namespace ortiva
