#!/usr/bin/env python3
"""Checks the product's includes against its layers.

Layers, highest first; a file may include headers of its own layer and of the
layers below it, never of one above:

    app/          start-up, main window, commands, INI file, dialogs
    audio/        transport, recording, playback, new-file dialog
    sound_files/  opening, creating, repair, analysis, information dialogs
    meter/        level meter, status lines (sound_files/ shows its format)
    base/         AppState and the helpers every layer needs
    resources/    string ids, Japanese texts

It also fails on an include cycle between modules (a module is a source file
and the header named after it), whatever their layers. A lower layer with
something to tell a higher one returns a failure or posts a window message.

And it holds the owners of the records: each record is read everywhere
through a const reference and written only through its writable accessor,
which may be called in its owner's folder alone (OwnedApp in app/,
OwnedTransport and OwnedRun in audio/, so the run state moves only there,
OwnedCurrentFile in sound_files/, OwnedMeter in meter/); no const_cast
anywhere in the product gets around that.

State that can change lives in those records: a variable that outlives a
call and is not const (at namespace scope, named, anonymous or extern "C",
static or not; a static data member; a static or thread_local inside a
function) is refused in the product and the codec driver unless STATE lists
it below with the reason it is kept where it is. An entry that no longer
matches anything is refused too, so the list stays as short as the code.

Usage: include_check.py [repository]   (prints the findings; status 1 on any)
       include_check.py --self-test    (the state check against planted code)
"""
import bisect
import os
import re
import sys

RANKS = {"app": 5, "audio": 4, "sound_files": 3, "meter": 2, "base": 1, "resources": 0}
# Also checked for state: the codec driver, a DLL of its own beside the layers.
STATE_ONLY = ["codec"]

# The state the product keeps outside the records' accessors, each entry
# with why it is kept where it is: (file, variables, reason).
STATE = [
    ("app/owned_app_win32.cpp", ["state"], "the program's record (AppState), defined once by its owner"),
    ("audio/transport_state_win32.cpp", ["state"],
     "the transport's record and the run record, defined once by their owner"),
    ("sound_files/current_file_win32.cpp", ["state"], "the current file's record, defined once by its owner"),
    ("sound_files/recording_file_win32.cpp", ["recording"], "the recording file's record, private to its one file"),
    ("meter/meter_record_win32.cpp", ["state"], "the meter's record, defined once by its owner"),
    ("sound_files/recording_file_win32.cpp", ["flushing"],
     "per process: the flush thread clears it, and may outlive the recording that started it"),
    ("sound_files/wave_file_win32.cpp", ["declined_tail"],
     "per process: a cut-off tail the user declined is not offered again while the program runs"),
    ("app/main_window_win32.cpp", ["system_menu", "button_font", "button_procs"],
     "the main window's menu, its buttons' font and their own procedures: one window per process"),
    ("base/ui_text_win32.cpp", ["large_status_font"], "a font, made once per cell height for the process"),
    ("base/ui_text_win32.cpp", ["buffer"], "the text LoadText returns, valid until its next call"),
    ("base/acm_stream_win32.cpp", ["library"], "functions loaded at run time, once per process"),
    ("base/file_names_win32.cpp", ["calls"], "functions loaded at run time, once per process"),
    ("base/text_rules.cpp", ["active"], "the code-page table: the system's code page, for the whole process"),
    ("base/dialog_look_win32.cpp", ["recreate_controls"], "the open dialog's hook; one dialog is open at a time"),
    ("codec/current_stream.cpp", ["current", "refused"],
     "the stream a thread works on, and the tests' switch that refuses one (the native stand-in for the TLS slot)"),
    ("codec/current_stream_win32.cpp", ["slot"], "the codec's TLS slot, one per loaded driver"),
]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
OWNERS = {"OwnedApp": "app", "OwnedTransport": "audio", "OwnedRun": "audio", "OwnedCurrentFile": "sound_files",
          "OwnedMeter": "meter"}
ACCESSOR = re.compile(r'\b(' + "|".join(OWNERS) + r')\b')
CONST_CAST = re.compile(r'\bconst_cast\b')
# Comments, string and character literals, blanked out with their line breaks
# kept, so that only code is judged and line numbers stay right. A literal
# keeps its quotes.
NOT_CODE = re.compile(r'//[^\n]*|/\*.*?\*/|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'', re.S)


def _blank(match):
    text = match.group(0)
    if text[0] in "\"'":
        return text[0] + re.sub(r"[^\n]", " ", text[1:-1]) + text[-1]
    return re.sub(r"[^\n]", " ", text)


def code_only(text):
    text = NOT_CODE.sub(_blank, text)
    # Preprocessor lines, with their continuations, declare nothing.
    lines, continued = [], False
    for line in text.split("\n"):
        directive = continued or line.lstrip().startswith("#")
        continued = directive and line.rstrip().endswith("\\")
        lines.append(re.sub(r"\S", " ", line) if directive else line)
    return "\n".join(lines)


# ---- state that can change --------------------------------------------------
# A small reader of C++ declarations, enough for this code: it follows the
# braces (namespaces, types, functions, lambdas, initializers) and judges
# each statement that could define a variable where one would outlive a call.

IDENT = re.compile(r"[A-Za-z_]\w*")
NO_DECLARATION = {"using", "typedef", "namespace", "static_assert", "friend", "template", "asm", "return",
                  "public", "private", "protected", "operator"}


def _strip_template(text):
    """Drops a leading template <...> (nested brackets)."""
    text = text.lstrip()
    while re.match(r"template\s*<", text):
        depth = 0
        for k in range(text.index("<"), len(text)):
            depth += {"<": 1, ">": -1}.get(text[k], 0)
            if depth == 0:
                text = text[k + 1:].lstrip()
                break
        else:
            return text
    return text


def _strip_attributes(text):
    """Drops [[...]] and __attribute__((...)), __declspec(...), alignas(...)."""
    text = re.sub(r"\[\[.*?\]\]", " ", text, flags=re.S)
    while True:
        match = re.search(r"\b(?:__attribute__|__declspec|alignas)\s*\(", text)
        if not match:
            return text
        depth, end = 0, len(text)
        for k in range(match.end() - 1, len(text)):
            depth += {"(": 1, ")": -1}.get(text[k], 0)
            if depth == 0:
                end = k + 1
                break
        text = text[:match.start()] + " " + text[end:]


def _top_level(text, wanted):
    """Indexes of the characters in `wanted` outside (), [], {} and template <>."""
    depth, found = 0, []
    for k, c in enumerate(text):
        if depth == 0 and c in wanted:
            found.append(k)
        if c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
        elif c == "<" and re.search(r"\w\s*$", text[:k]) and not text[k + 1:k + 2] in "<=":
            depth += 1
        elif c == ">" and depth > 0 and not text[k - 1:k] == "-":
            depth -= 1
    return found


def _without_template_arguments(text):
    while True:
        reduced = re.sub(r"<[^<>]*>", " ", text)
        if reduced == text:
            return text
        text = reduced


def _is_const(type_text):
    """Whether an object declared with this type (what precedes its name) is
    unchangeable: constexpr, const after the last pointer, a reference to
    const, or const anywhere in a type with neither."""
    tokens = re.findall(r"[A-Za-z_]\w*|[*&]", _without_template_arguments(type_text))
    if "constexpr" in tokens:
        return True
    if "*" in tokens:
        last = len(tokens) - 1 - tokens[::-1].index("*")
        return "const" in tokens[last + 1:]
    if "&" in tokens:
        return "const" in tokens[:tokens.index("&")]
    return "const" in tokens


LITERAL = re.compile(r'(?<![\w.])\d|""|\'\'|\bnullptr\b|\btrue\b|\bfalse\b')


def declared_variables(statement):
    """(name, const, offset) of each variable the statement (brace groups
    flattened to {}) defines; [] for a function, a type, an alias, a
    declaration of something defined elsewhere."""
    text = _strip_attributes(_strip_template(statement))
    text = re.sub(r"^\s*(?:(?:public|private|protected)\s*:(?!:)\s*)+", "", text)
    first = re.match(r"\s*(?:::)?\s*([A-Za-z_]\w*)", text)
    if not first or first.group(1) in NO_DECLARATION or re.search(r"\boperator\b", text):
        return []
    shift = len(statement) - len(text) if statement.endswith(text) else 0
    if first.group(1) == "extern" and not _top_level(text, "="):
        return []  # defined elsewhere
    # A type defined with its declarators: struct {...} name;
    body = re.match(r"\s*((?:(?:const|volatile|static|inline|thread_local|constexpr|extern)\s+)*)"
                    r"(?:struct|class|union|enum)\b[^{=;]*\{\}", text)
    if body:
        rest = text[body.end():]
        if not rest.strip():
            return []
        text = body.group(1) + " T " + rest
        shift += body.end() - len(body.group(1) + " T ")
    elif re.fullmatch(r"\s*(?:enum\s+(?:class\s+|struct\s+)?|struct\s+|class\s+|union\s+)[\w:]+\s*(?::[^;]*)?\s*",
                      text):
        return []  # a type declared
    # One declarator after another (the commas of a parameter list are not
    # at the top level).
    found, pieces, start = [], [], 0
    for end in _top_level(text, ",") + [len(text)]:
        pieces.append((start, text[start:end]))
        start = end + 1
    base_type = None
    for offset, piece in pieces:
        cut = _top_level(piece, "=")
        declarator = piece[:cut[0]] if cut else piece
        initialized = bool(cut)
        pointer_to_function = re.search(r"\(\s*([*&])\s*(const\s+)?([A-Za-z_]\w*)\s*\)", declarator)
        parens = _top_level(declarator, "(")
        if pointer_to_function:
            name = pointer_to_function.group(3)
            const = pointer_to_function.group(1) == "&" or bool(pointer_to_function.group(2))
            found.append((name, const, shift + offset + pointer_to_function.start(3)))
            continue
        if parens:
            # A function, unless the parentheses hold arguments: literals and
            # no parameter with a default.
            inside = declarator[parens[0]:]
            if initialized or not LITERAL.search(inside) or "=" in inside:
                if offset == 0:
                    return []
                continue
            declarator = declarator[:parens[0]]
        trimmed = re.sub(r"(?:\s*(?:\[[^\]]*\]|\{\}|:\s*\d+))+\s*$", "", declarator)
        names = list(IDENT.finditer(trimmed))
        if not names:
            continue
        name = names[-1]
        if base_type is None:
            if len(names) < 2 and not re.search(r"[*&]", trimmed[:name.start()]):
                return []  # an expression, or a declaration without a type
            specifiers = trimmed[:name.start()]
            base_type = re.split(r"[*&]", specifiers, 1)[0]
            type_text = specifiers
        else:
            type_text = base_type + " " + trimmed[:name.start()]
        found.append((name.group(0), _is_const(type_text), shift + offset + name.start()))
    return found


def _classify_brace(head):
    """What a { opens at namespace or class scope, from the text before it."""
    text = _strip_attributes(_strip_template(head)).strip()
    text = re.sub(r"^(?:(?:public|private|protected)\s*:(?!:)\s*)+", "", text)
    if re.search(r"\bnamespace\b", text) or re.fullmatch(r"extern\s*\"[^\"]*\"", text):
        return "namespace"
    if _top_level(text, "="):
        return "initializer"
    if re.match(r"(?:(?:typedef|const|volatile|static|inline|constexpr|thread_local|extern)\s+)*"
                r"(?:struct|class|union)\b", text):
        return "class"
    if re.match(r"(?:(?:typedef|const|static)\s+)*enum\b", text):
        return "skip"
    if re.search(r"\)\s*(?:noexcept\s*)?:(?!:)", text):
        return "initializer" if re.search(r"[\w>]\s*$", text) else "function"
    if re.search(r"\)[\s\w&]*(?:->.*)?$", text, re.S) and _top_level(text, "("):
        return "function"
    return "initializer"


# A lambda's introducer just before its body: the captures (a [ that follows
# no name, as an array's bound does), parameters, specifiers.
LAMBDA_INTRODUCER = re.compile(r"\[[^\[\]]*\]\s*(?:\((?:[^()]|\([^()]*\))*\))?\s*(?:mutable|constexpr|noexcept)?\s*"
                               r"(?:->[^{};=]*)?\s*\Z")


def _opens_lambda(code, index):
    match = LAMBDA_INTRODUCER.search(code, max(0, index - 400), index)
    return bool(match) and not re.search(r"[\w\])]\s*\Z", code[max(0, match.start() - 40):match.start()])


STATIC_START = re.compile(r"\s*(?:(?:inline|constexpr|const)\s+)*(?:static|thread_local)\b(?!_)")


def mutable_state(code):
    """(line, name, where) of every variable in `code` (code_only text) that
    outlives a call and may change: at namespace scope (named, anonymous or
    extern "C", static or not), a static data member, a static or
    thread_local inside a function."""
    line_starts = [0] + [m.end() for m in re.finditer("\n", code)]

    def line_of(index):
        return bisect.bisect_right(line_starts, index)

    class Frame:
        def __init__(self, kind):
            self.kind, self.text, self.where = kind, [], []

    stack = [Frame("namespace")]
    found = []

    def judge(frame):
        statement = "".join(frame.text)
        if frame.kind in ("function", "lambda") and not STATIC_START.match(statement):
            return
        if frame.kind == "class" and not STATIC_START.match(
                re.sub(r"^\s*(?:(?:public|private|protected)\s*:(?!:)\s*)+", "", statement)):
            return
        where = {"namespace": "namespace-scope", "class": "static member"}.get(frame.kind, "function-static")
        for name, const, offset in declared_variables(statement):
            if not const:
                found.append((line_of(frame.where[min(offset, len(frame.where) - 1)]), name, where))

    for index, c in enumerate(code):
        top = stack[-1]
        # A lambda's body, wherever it is, is a function's.
        lambda_body = c == "{" and _opens_lambda(code, index)
        if top.kind == "skip" and not lambda_body:
            if c == "{":
                stack.append(Frame("skip"))
            elif c == "}":
                stack.pop()
            continue
        if c == "{":
            head = "".join(top.text)
            if lambda_body:
                kind = "lambda"
            elif top.kind in ("function", "lambda"):
                kind = "skip" if STATIC_START.match(head) else "function"
            else:
                kind = _classify_brace(head)
            if kind in ("skip", "initializer", "class", "lambda"):
                top.text.append("{}")
                top.where += [index, index]
            else:
                top.text, top.where = [], []
            stack.append(Frame("skip" if kind == "initializer" else kind))
        elif c == "}":
            if len(stack) > 1:
                stack.pop()
            parent = stack[-1]
            if top.kind in ("namespace", "function") and parent.kind != "skip":
                parent.text, parent.where = [], []
        elif c == ";":
            judge(top)
            top.text, top.where = [], []
        else:
            top.text.append(c)
            top.where.append(index)
    return found


def product_files(root, folders):
    for folder in folders:
        path = os.path.join(root, folder)
        if not os.path.isdir(path):
            continue
        for name in sorted(os.listdir(path)):
            if name.endswith((".h", ".cpp")):
                yield f"{folder}/{name}"


def state_problems(path, code, allowed, used):
    """The variables of one file that may change and are not on the list."""
    problems = []
    for line, name, where in mutable_state(code):
        if name in allowed.get(path, ()):
            used.add((path, name))
        else:
            problems.append(f"{path}:{line}: {where} variable {name} can change: put it in its owner's record "
                            f"(or on the list in {os.path.basename(__file__)}, with why)")
    return problems


def module(path):
    return os.path.splitext(path)[0]


def cycles(graph):
    """Strongly connected components of more than one module (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []
    counter = [0]

    def visit(node):
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        for other in sorted(graph.get(node, ())):
            if other not in index:
                visit(other)
                low[node] = min(low[node], low[other])
            elif other in on_stack:
                low[node] = min(low[node], index[other])
        if low[node] == index[node]:
            component = []
            while True:
                other = stack.pop()
                on_stack.discard(other)
                component.append(other)
                if other == node:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    sys.setrecursionlimit(10000)
    for node in sorted(graph):
        if node not in index:
            visit(node)
    return found


# Planted in the self-test: every variable named planted_... must be found,
# and nothing else.
PLANTED = r'''
#define PLANTED_MACRO(x) \\
  int not_a_variable = x;
namespace {
int planted_plain = 0;
Slot planted_array[4];
const char* planted_pointer_to_const = "x";
char* const kConstPointer = nullptr;
const char* const kBoth = "y";
constexpr int kLimit = 3;
static const int kConst = 4;
static int planted_static = 1;
Converter planted_brace{};
struct { int a; } planted_anonymous;
struct Named { int a; static int planted_member; static constexpr int kMember = 1; void F() { static int planted_in_method = 0; } };
std::vector<const char*> planted_vector;
std::map<int, std::string> planted_map = {{1, "a"}};
::WNDPROC planted_procs[3] = {};
thread_local int planted_thread = 0;
void (*planted_fn)(int) = nullptr;
void (* const kFn)(int) = nullptr;
TransportState& planted_reference = state;
const TransportState& kReference = state;
Foo planted_call(1, "x");
auto planted_lambda = [](int x) { return x; };
const auto kLambda = [](int x) { static int planted_in_lambda = 0; return x; };
}  // namespace
namespace jf = ja::files;
using Fn = void (*)(int);
typedef int (*OtherFn)(int);
enum class Kind : int { kA, kB };
struct Forward;
extern int declared_elsewhere;
void Function(int a, const char* b = "x");
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
static void Helper(HWND window) {
  static const char* const kTexts[] = {"a", "b"};
  static char planted_buffer[256];
  static int planted_a = 0, planted_b = 1;
  static_assert(sizeof(int) == 4, "int");
  int local = static_cast<int>(3);
  if (local) { static bool planted_nested = false; }
  for (int i = 0; i < 3; ++i) { local += i; }
  auto f = [&](int x) { static int planted_deep; return x; };
}
template <class Function>
void Find(HMODULE module, const char* name, Function& function) { function = nullptr; }
template <typename T> struct Holder { static T planted_template_member; };
extern "C" {
int planted_in_extern_c = 0;
}
Foo::Foo(int a) : a_(a), b_{0} { static int planted_in_constructor; }
inline int planted_inline = 0;
bool operator==(const A& a, const B& b);
int planted_x = 0, *planted_y = nullptr;
volatile long planted_volatile = 0;
'''


def self_test():
    found = [name for _, name, _ in mutable_state(code_only(PLANTED))]
    planted = set(re.findall(r"planted_\w+", PLANTED))
    missed, wrong = sorted(planted - set(found)), sorted(set(found) - planted)
    for name in missed:
        print(f"self-test: planted {name} not found")
    for name in wrong:
        print(f"self-test: {name} taken for a variable that can change")
    print(f"include check self-test: {len(planted)} planted, {len(missed)} missed, {len(wrong)} wrong")
    return 1 if missed or wrong else 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
    problems = []
    graph = {}
    allowed, used = {}, set()
    for path, names, _ in STATE:
        allowed.setdefault(path, set()).update(names)
    for path in product_files(root, list(RANKS) + STATE_ONLY):
        with open(os.path.join(root, path), encoding="utf-8") as source:
            text = source.read()
        code = code_only(text)
        problems += state_problems(path, code, allowed, used)
        folder = path.split("/")[0]
        if folder not in RANKS:
            continue
        for header in INCLUDE.findall(text):
            target_folder = header.split("/")[0]
            if target_folder not in RANKS:
                continue
            if not os.path.exists(os.path.join(root, header)):
                problems.append(f"{path}: includes {header}, which does not exist")
                continue
            if module(header) != module(path):
                graph.setdefault(module(path), set()).add(module(header))
            if RANKS[target_folder] > RANKS[folder]:
                problems.append(f"{path}: includes {header} of the higher layer {target_folder}/")
        for number, line in enumerate(code.splitlines(), 1):
            for match in ACCESSOR.finditer(line):
                if OWNERS[match.group(1)] != folder:
                    problems.append(f"{path}:{number}: {match.group(1)} outside {OWNERS[match.group(1)]}/")
            if CONST_CAST.search(line):
                problems.append(f"{path}:{number}: const_cast")
    for path, names, _ in STATE:
        for name in names:
            if (path, name) not in used:
                problems.append(f"{path}: {name} is on the list of state but is no such variable there")
    for component in cycles(graph):
        problems.append("include cycle between " + ", ".join(component))
    for problem in problems:
        print(problem)
    print(f"include check: {len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
