#include "html/html_tables.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace orvix {

namespace {

// Listed in tag-number order, which is also ascending character order.
constexpr std::array<const char*, tag::Count> kTagNames = {
    "a",        "abbr",     "acronym",  "address",  "applet",   "area",     "b",
    "base",     "basefont", "bdo",      "big",      "blockquote", "body",   "br",
    "button",   "caption",  "center",   "cite",     "code",     "col",      "colgroup",
    "dd",       "del",      "dfn",      "dir",      "div",      "dl",       "dt",
    "em",       "fieldset", "font",     "form",     "frame",    "frameset", "h1",
    "h2",       "h3",       "h4",       "h5",       "h6",       "head",     "hr",
    "html",     "i",        "iframe",   "img",      "input",    "ins",      "isindex",
    "kbd",      "label",    "legend",   "li",       "link",     "map",      "menu",
    "meta",     "nobr",     "noframes", "noscript", "object",   "ol",       "optgroup",
    "option",   "p",        "param",    "pre",      "q",        "s",        "samp",
    "script",   "select",   "small",    "span",     "strike",   "strong",   "style",
    "sub",      "sup",      "table",    "tbody",    "td",       "textarea", "tfoot",
    "th",       "thead",    "title",    "tr",       "tt",       "u",        "ul",
    "var"};

// One bit per tag number for each class.
class TagSet {
 public:
  constexpr TagSet(std::initializer_list<int> tags) {
    for (int t : tags) bits_[t / 64] |= std::uint64_t{1} << (t % 64);
  }
  constexpr bool Has(int t) const {
    return t > 0 && t <= tag::Count && (bits_[t / 64] >> (t % 64) & 1) != 0;
  }

 private:
  std::uint64_t bits_[2] = {0, 0};
};

using namespace tag;
constexpr TagSet kEmpty = {Area, Base, BaseFont, Br, Col, Frame, Hr, Img, Input, IsIndex, Link, Meta, Param};
constexpr TagSet kRestructuring = {Address, BlockQuote, Center, Col, ColGroup, Dd, Div, Dl, Dt,
                                   FieldSet, H1, H2, H3, H4, H5, H6, Hr, Li, NoBr, NoScript,
                                   Ol, Option, P, Pre, Table, TBody, Td, TFoot, Th, THead, Tr, Ul};
constexpr TagSet kBlockLevel = {Address, BlockQuote, Center, Div, Dl, FieldSet, H1, H2, H3, H4,
                                H5, H6, Hr, NoBr, NoScript, Ol, Pre, Table, Ul};
constexpr TagSet kParagraphContainer = {Address, BlockQuote, Center, Div, Dl, FieldSet, H1, H2,
                                        H3, H4, H5, H6, Hr, Li, NoScript, Ol, Pre, Td, Th, Ul};
constexpr TagSet kListContainer = {Dir, Menu, Ol, Ul};
constexpr TagSet kFormatterBlock = {Address, BlockQuote, Caption, Center, Dd, Div, Dl, Dt,
                                    FieldSet, Form, Frame, H1, H2, H3, H4, H5, H6, Hr, IFrame,
                                    Li, NoFrames, NoScript, Ol, P, Pre, Table, Td, Th, Title, Ul};

// The character entities of HTML 4.01: Latin-1, symbols and Greek, special.
constexpr TEntity kEntities[] = {
    // Latin-1 (U+00A0..U+00FF)
    {"nbsp", 160}, {"iexcl", 161}, {"cent", 162}, {"pound", 163}, {"curren", 164},
    {"yen", 165}, {"brvbar", 166}, {"sect", 167}, {"uml", 168}, {"copy", 169},
    {"ordf", 170}, {"laquo", 171}, {"not", 172}, {"shy", 173}, {"reg", 174},
    {"macr", 175}, {"deg", 176}, {"plusmn", 177}, {"sup2", 178}, {"sup3", 179},
    {"acute", 180}, {"micro", 181}, {"para", 182}, {"middot", 183}, {"cedil", 184},
    {"sup1", 185}, {"ordm", 186}, {"raquo", 187}, {"frac14", 188}, {"frac12", 189},
    {"frac34", 190}, {"iquest", 191}, {"Agrave", 192}, {"Aacute", 193}, {"Acirc", 194},
    {"Atilde", 195}, {"Auml", 196}, {"Aring", 197}, {"AElig", 198}, {"Ccedil", 199},
    {"Egrave", 200}, {"Eacute", 201}, {"Ecirc", 202}, {"Euml", 203}, {"Igrave", 204},
    {"Iacute", 205}, {"Icirc", 206}, {"Iuml", 207}, {"ETH", 208}, {"Ntilde", 209},
    {"Ograve", 210}, {"Oacute", 211}, {"Ocirc", 212}, {"Otilde", 213}, {"Ouml", 214},
    {"times", 215}, {"Oslash", 216}, {"Ugrave", 217}, {"Uacute", 218}, {"Ucirc", 219},
    {"Uuml", 220}, {"Yacute", 221}, {"THORN", 222}, {"szlig", 223}, {"agrave", 224},
    {"aacute", 225}, {"acirc", 226}, {"atilde", 227}, {"auml", 228}, {"aring", 229},
    {"aelig", 230}, {"ccedil", 231}, {"egrave", 232}, {"eacute", 233}, {"ecirc", 234},
    {"euml", 235}, {"igrave", 236}, {"iacute", 237}, {"icirc", 238}, {"iuml", 239},
    {"eth", 240}, {"ntilde", 241}, {"ograve", 242}, {"oacute", 243}, {"ocirc", 244},
    {"otilde", 245}, {"ouml", 246}, {"divide", 247}, {"oslash", 248}, {"ugrave", 249},
    {"uacute", 250}, {"ucirc", 251}, {"uuml", 252}, {"yacute", 253}, {"thorn", 254},
    {"yuml", 255},
    // Symbols, mathematical symbols and Greek letters
    {"fnof", 402},
    {"Alpha", 913}, {"Beta", 914}, {"Gamma", 915}, {"Delta", 916}, {"Epsilon", 917},
    {"Zeta", 918}, {"Eta", 919}, {"Theta", 920}, {"Iota", 921}, {"Kappa", 922},
    {"Lambda", 923}, {"Mu", 924}, {"Nu", 925}, {"Xi", 926}, {"Omicron", 927},
    {"Pi", 928}, {"Rho", 929}, {"Sigma", 931}, {"Tau", 932}, {"Upsilon", 933},
    {"Phi", 934}, {"Chi", 935}, {"Psi", 936}, {"Omega", 937},
    {"alpha", 945}, {"beta", 946}, {"gamma", 947}, {"delta", 948}, {"epsilon", 949},
    {"zeta", 950}, {"eta", 951}, {"theta", 952}, {"iota", 953}, {"kappa", 954},
    {"lambda", 955}, {"mu", 956}, {"nu", 957}, {"xi", 958}, {"omicron", 959},
    {"pi", 960}, {"rho", 961}, {"sigmaf", 962}, {"sigma", 963}, {"tau", 964},
    {"upsilon", 965}, {"phi", 966}, {"chi", 967}, {"psi", 968}, {"omega", 969},
    {"thetasym", 977}, {"upsih", 978}, {"piv", 982},
    {"bull", 8226}, {"hellip", 8230}, {"prime", 8242}, {"Prime", 8243}, {"oline", 8254},
    {"frasl", 8260},
    {"weierp", 8472}, {"image", 8465}, {"real", 8476}, {"trade", 8482}, {"alefsym", 8501},
    {"larr", 8592}, {"uarr", 8593}, {"rarr", 8594}, {"darr", 8595}, {"harr", 8596},
    {"crarr", 8629}, {"lArr", 8656}, {"uArr", 8657}, {"rArr", 8658}, {"dArr", 8659},
    {"hArr", 8660},
    {"forall", 8704}, {"part", 8706}, {"exist", 8707}, {"empty", 8709}, {"nabla", 8711},
    {"isin", 8712}, {"notin", 8713}, {"ni", 8715}, {"prod", 8719}, {"sum", 8721},
    {"minus", 8722}, {"lowast", 8727}, {"radic", 8730}, {"prop", 8733}, {"infin", 8734},
    {"ang", 8736}, {"and", 8743}, {"or", 8744}, {"cap", 8745}, {"cup", 8746},
    {"int", 8747}, {"there4", 8756}, {"sim", 8764}, {"cong", 8773}, {"asymp", 8776},
    {"ne", 8800}, {"equiv", 8801}, {"le", 8804}, {"ge", 8805}, {"sub", 8834},
    {"sup", 8835}, {"nsub", 8836}, {"sube", 8838}, {"supe", 8839}, {"oplus", 8853},
    {"otimes", 8855}, {"perp", 8869}, {"sdot", 8901},
    {"lceil", 8968}, {"rceil", 8969}, {"lfloor", 8970}, {"rfloor", 8971}, {"lang", 9001},
    {"rang", 9002}, {"loz", 9674},
    {"spades", 9824}, {"clubs", 9827}, {"hearts", 9829}, {"diams", 9830},
    // Markup-significant and internationalisation characters
    {"quot", 34}, {"amp", 38}, {"lt", 60}, {"gt", 62},
    {"OElig", 338}, {"oelig", 339}, {"Scaron", 352}, {"scaron", 353}, {"Yuml", 376},
    {"circ", 710}, {"tilde", 732},
    {"ensp", 8194}, {"emsp", 8195}, {"thinsp", 8201}, {"zwnj", 8204}, {"zwj", 8205},
    {"lrm", 8206}, {"rlm", 8207}, {"ndash", 8211}, {"mdash", 8212}, {"lsquo", 8216},
    {"rsquo", 8217}, {"sbquo", 8218}, {"ldquo", 8220}, {"rdquo", 8221}, {"bdquo", 8222},
    {"dagger", 8224}, {"Dagger", 8225}, {"permil", 8240}, {"lsaquo", 8249}, {"rsaquo", 8250},
    {"euro", 8364},
};

// Ordinal comparison of a wide key with an ASCII name, code unit by code
// unit: the order the tables are sorted in.
int CompareKey(std::u16string_view key, std::string_view name) {
  const std::size_t n = std::min(key.size(), name.size());
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned a = key[i];
    const unsigned b = static_cast<unsigned char>(name[i]);
    if (a != b) return a < b ? -1 : 1;
  }
  if (key.size() == name.size()) return 0;
  return key.size() < name.size() ? -1 : 1;
}

int CompareKey(std::u16string_view key, std::u16string_view name) {
  return key.compare(name) < 0 ? -1 : (key == name ? 0 : 1);
}

}  // namespace

THtmlTagList::THtmlTagList() {
  tags_.reserve(128);
  int number = 1;
  for (const char* name : kTagNames) {
    THtmlTag t;
    for (const char* p = name; *p; ++p) t.name.push_back(static_cast<char16_t>(*p));
    t.number = number++;
    tags_.push_back(std::move(t));
  }
  std::sort(tags_.begin(), tags_.end(),
            [](const THtmlTag& a, const THtmlTag& b) { return a.name < b.name; });
  for (std::size_t i = 0; i < tags_.size(); ++i) {
    const std::uint64_t key = PackKey(tags_[i].name);
    if (key == 0) continue;
    std::size_t slot = Slot(key);
    while (keys_[slot] != 0) slot = (slot + 1) % kSlots;
    keys_[slot] = key;
    slots_[slot] = static_cast<std::uint8_t>(i);
  }
}

// 0 for a name that does not fit (empty, longer than eight characters, or
// with a character outside ASCII); otherwise the characters, one per byte.
std::uint64_t THtmlTagList::PackKey(std::u16string_view name) {
  if (name.empty() || name.size() > 8) return 0;
  std::uint64_t key = 0;
  for (char16_t c : name) {
    if (c == 0 || c > 0x7f) return 0;
    key = key << 8 | c;
  }
  return key;
}

const THtmlTag& THtmlTagList::Find(std::u16string_view name) const {
  const std::uint64_t key = PackKey(name);
  if (key == 0) return name.size() > 8 ? Search(name) : sentinel_;
  return FindKey(key);
}

const THtmlTag& THtmlTagList::Search(std::u16string_view name) const {
  // Exclusive lower bound, inclusive upper bound; the last comparison is
  // with the upper bound.
  int lo = -1;
  int hi = static_cast<int>(tags_.size()) - 1;
  while (hi - lo > 1) {
    const int mid = lo + (hi - lo) / 2;
    const int c = CompareKey(name, tags_[mid].name);
    if (c == 0) return tags_[mid];
    if (c < 0) hi = mid; else lo = mid;
  }
  if (hi >= 0 && CompareKey(name, tags_[hi].name) == 0) return tags_[hi];
  return sentinel_;
}

bool IsEmptyElementTag(int number) { return kEmpty.Has(number); }
bool IsRestructuringTag(int number) { return kRestructuring.Has(number); }
bool IsBlockLevelTag(int number) { return kBlockLevel.Has(number); }
bool IsParagraphContainer(int number) { return kParagraphContainer.Has(number); }
bool IsListContainer(int number) { return kListContainer.Has(number); }
bool IsFormatterBlock(int number) { return kFormatterBlock.Has(number); }

TEntList::TEntList() : entries_(std::begin(kEntities), std::end(kEntities)) {
  std::sort(entries_.begin(), entries_.end(), [](const TEntity& a, const TEntity& b) {
    return std::strcmp(a.name, b.name) < 0;
  });
}

char16_t TEntList::Find(std::u16string_view name) const {
  int lo = 0;
  int hi = static_cast<int>(entries_.size()) - 1;
  while (lo <= hi) {
    const int mid = lo + (hi - lo) / 2;
    const int c = CompareKey(name, entries_[mid].name);
    if (c == 0) return entries_[mid].code;
    if (c < 0) hi = mid - 1; else lo = mid + 1;
  }
  return u' ';
}

TURLSchemes::TURLSchemes() {
  for (const char* s : {"http", "https", "ftp", "mailto", "news", "nntp", "gopher"}) Add(s);
}

void TURLSchemes::Add(std::string scheme) {
  maxLength_ = std::max(maxLength_, static_cast<int>(scheme.size()));
  schemes_.push_back(std::move(scheme));
}

int TURLSchemes::IndexOf(std::string_view scheme) const {
  for (std::size_t i = 0; i < schemes_.size(); ++i)
    if (schemes_[i] == scheme) return static_cast<int>(i);
  return -1;
}

const TEntList& HtmlEntities() {
  static const TEntList entities;
  return entities;
}

const THtmlTagList& HtmlTags() {
  static const THtmlTagList tags;
  return tags;
}

const TURLSchemes& UrlSchemes() {
  static const TURLSchemes schemes;
  return schemes;
}

void InitHtmlTables() {
  HtmlEntities();
  HtmlTags();
  UrlSchemes();
}

bool IsUrlScheme(std::u16string_view scheme) {
  // Schemes are ASCII; anything else cannot match, whatever the code page.
  std::string lower;
  lower.reserve(scheme.size());
  for (char16_t c : scheme) {
    if (c >= 0x80) return false;
    lower.push_back(static_cast<char>(c >= u'A' && c <= u'Z' ? c + 32 : c));
  }
  return UrlSchemes().IndexOf(lower) >= 0;
}

std::u16string UrlScheme(std::u16string_view url) {
  const std::size_t window = static_cast<std::size_t>(UrlSchemes().MaxLength()) + 1;
  const std::size_t colon = url.substr(0, window).find(u':');
  if (colon == std::u16string_view::npos) return {};
  const std::u16string_view scheme = url.substr(0, colon);
  return IsUrlScheme(scheme) ? std::u16string(scheme) : std::u16string();
}

}  // namespace orvix
