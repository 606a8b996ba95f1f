#!/usr/bin/env python3
"""Builds the German engine's sense table and its held-out evaluation sets from the
parallel manuals that Debian ships in English, German and Spanish.

The manuals are aligned by their shared structure: the LibreOffice help by the ids of
its paragraphs, the GIMP help and the Debian Reference by the order of their blocks
(a document whose German and English block counts differ is left out). Paragraphs
with as many sentences on both sides are split into sentence pairs.

Whole documents are held out by a stable hash of their name: one in ten goes to the
evaluation set, one in ten to the tuning set, the rest trains the sense table. The
message catalogs of installed packages are not read.

The sense table: for each English word or dictionary phrase of a training sentence,
each of its dictionary translations that appears on the German side (matched through
Hunspell stems, or as a part of a compound) counts once; the best-supported one is
written when it is clearly ahead. The same the other way round. A German or English
word frequency over the same text breaks ties. A German noun that the text translates
with a word its dictionary entry does not offer at all takes that word, marked
"unlisted" (learn_unlisted).

Usage: build-senses.py [--out DIR] [--tests DIR] [--dev FILE]
Needs: the packages listed in PACKAGES, and the hunspell program (Hunspell stems).
"""

import argparse
import collections
import html.parser
import os
import re
import subprocess
import sys
import zlib

PACKAGES = [
    "gimp-help-de", "gimp-help-en", "libreoffice-help-de", "libreoffice-help-en-us",
    "libreoffice-help-es", "debian-reference-de", "debian-reference-en",
    "debian-reference-es", "trans-de-en", "hunspell-de-de",
]
DICTIONARY = "/usr/share/trans/de-en"
MAX_PHRASE_WORDS = 4

# ---- reading the manuals ---------------------------------------------------------

BLOCKS = {"p", "h1", "h2", "h3", "h4", "h5", "h6", "title", "dt", "td", "th", "li",
          "caption", "figcaption"}
SKIPPED = {"script", "style", "pre", "head"}


class Blocks(html.parser.HTMLParser):
    """The text of each block element of a page, innermost blocks on their own, in
    document order, as (id, text)."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.blocks = []
        self.stack = []  # open blocks: [id, parts]
        self.skip = 0

    def handle_starttag(self, tag, attrs):
        if tag in SKIPPED:
            self.skip += 1
        elif tag in BLOCKS:
            self.stack.append([dict(attrs).get("id") or "", []])
        elif tag == "br" and self.stack:
            self.stack[-1][1].append(" ")

    def handle_endtag(self, tag):
        if tag in SKIPPED:
            self.skip = max(0, self.skip - 1)
        elif tag in BLOCKS and self.stack:
            ident, parts = self.stack.pop()
            text = " ".join("".join(parts).split())
            if text:
                self.blocks.append((ident, text))

    def handle_data(self, data):
        if not self.skip and self.stack:
            self.stack[-1][1].append(data)


def read_blocks(path):
    parser = Blocks()
    with open(path, encoding="utf-8", errors="replace") as f:
        parser.feed(f.read())
    parser.close()
    return parser.blocks


def libreoffice_pairs(lang):
    """(document, English paragraph, paragraph in lang), aligned by paragraph id."""
    root = "/usr/share/libreoffice/help"
    en_root = os.path.join(root, "en-US", "text")
    for dirpath, _, files in os.walk(en_root):
        for name in sorted(files):
            if not name.endswith(".html"):
                continue
            en_path = os.path.join(dirpath, name)
            rel = os.path.relpath(en_path, en_root)
            other = os.path.join(root, lang, "text", rel)
            if not os.path.exists(other):
                continue
            theirs = {i: t for i, t in read_blocks(other) if i}
            for ident, text in read_blocks(en_path):
                if ident and ident in theirs:
                    yield "libreoffice/" + rel, text, theirs[ident]


def ordered_pairs(documents):
    """Pairs of documents aligned block by block where both have as many blocks."""
    for doc, en_path, other_path in documents:
        en, other = read_blocks(en_path), read_blocks(other_path)
        if len(en) != len(other):
            continue
        for (_, a), (_, b) in zip(en, other):
            yield doc, a, b


def gimp_documents(lang):
    root = "/usr/share/gimp/2.0/help"
    for name in sorted(os.listdir(os.path.join(root, "en"))):
        other = os.path.join(root, lang, name)
        if name.endswith(".html") and os.path.exists(other):
            yield "gimp/" + name, os.path.join(root, "en", name), other


def reference_documents(lang):
    root = "/usr/share/debian-reference"
    for name in sorted(os.listdir(root)):
        if name.endswith(".en.html"):
            other = os.path.join(root, name.replace(".en.", "." + lang + "."))
            if os.path.exists(other):
                yield "reference/" + name, os.path.join(root, name), other


def paragraph_pairs(lang):
    yield from libreoffice_pairs(lang)
    if lang == "de":
        yield from ordered_pairs(gimp_documents(lang))
    yield from ordered_pairs(reference_documents(lang))


SENTENCE_END = re.compile(r"(?<=[.!?])\s+(?=[A-ZÄÖÜ0-9\"“„»(])")


def sentences(text):
    return [s for s in SENTENCE_END.split(text) if s]


def sentence_pairs(lang):
    """(document, English, other) sentence pairs: a paragraph's sentences pair up when
    both sides have as many; pairs of very different length are dropped."""
    for doc, en, other in paragraph_pairs(lang):
        a, b = sentences(en), sentences(other)
        if len(a) != len(b):
            continue
        for x, y in zip(a, b):
            if 0.5 <= len(y) / max(1, len(x)) <= 2.2:
                yield doc, x, y


def split_of(doc):
    bucket = zlib.crc32(doc.encode()) % 10
    return "test" if bucket == 0 else "dev" if bucket == 1 else "train"


# ---- the dictionary --------------------------------------------------------------


def split_outside(s, sep):
    parts, depth, start, i = [], 0, 0, 0
    while i < len(s):
        c = s[i]
        if c in "{[(":
            depth += 1
        elif c in "}])" and depth > 0:
            depth -= 1
        elif depth == 0 and s.startswith(sep, i):
            parts.append(s[start:i])
            i += len(sep)
            start = i
            continue
        i += 1
    parts.append(s[start:])
    return parts


def clean_term(term):
    """A synonym without its annotations, white space collapsed (as the engine reads it)."""
    out, depth, i = [], 0, 0
    term = term.strip()
    while i < len(term):
        c = term[i]
        if c in "{[(<":
            depth += 1
        elif c in "}])>":
            depth = max(0, depth - 1)
        elif depth == 0:
            if c == "/" and (i == 0 or term[i - 1] in " \t"):
                close = term.find("/", i + 1)
                if close != -1 and (close + 1 == len(term) or term[close + 1] in " \t"):
                    i = close + 1
                    continue
            out.append(c)
        i += 1
    words = "".join(out).split()
    if len(words) > 1 and "/" in words[0]:
        words = words[1:]
    return " ".join(words)


def is_placeholder(word):
    return "." in word or "/" in word


def choose_translation(synonyms):
    first = None
    for raw in synonyms:
        term = clean_term(raw)
        if term and not any(is_placeholder(w) for w in term.split()):
            return term
        if first is None:
            first = term
    kept = [w for w in (first or "").split() if not is_placeholder(w)]
    return " ".join(kept) if kept else (first or "")


def without_objects(term):
    words = term.split()
    if words[:1] == ["to"]:
        while len(words) > 2 and is_placeholder(words[-1]):
            words.pop()
        return " ".join(words)
    start = 0
    while start < len(words) - 1 and is_placeholder(words[start]):
        start += 1
    if start > 0 and start == len(words) - 1:
        return words[start]
    return term


# The complement a noun's sense names after it ("selection of sth."): the noun alone is
# the translation ("Auswahl": "selection"). The engine drops it the same way.
COMPLEMENTS = (" of sth.", " of sb.", " of sth./sb.")


def without_complement(term):
    for tail in COMPLEMENTS:
        if term.endswith(tail) and not term.startswith("to "):
            return term[: -len(tail)]
    return term


def short_enough(raw):
    """Whether the engine reads a raw synonym at all: it skips one with more than
    three spaces a phrase word, explanations included, before cleaning it."""
    return raw.count(" ") <= 3 * MAX_PHRASE_WORDS


def usable(term):
    words = term.split()
    return (0 < len(words) <= MAX_PHRASE_WORDS and "." not in term and "…" not in term
            and not (len(words) > 1 and words[0].lower() in
                     {"der", "die", "das", "den", "dem", "des", "ein", "eine", "the", "a", "an"}))


def target_terms(synonyms, english):
    """Every synonym of a sub-entry as the engine can give it: annotations and object
    placeholders gone ("etw. entfernen" is "entfernen", "to remove sth." is "remove")."""
    terms = []
    for raw in synonyms:
        term = without_complement(without_objects(clean_term(raw)))
        if english and term.startswith("to "):
            term = term[3:]
        if term and not any(is_placeholder(w) for w in term.split()) and term not in terms:
            terms.append(term)
    return terms


# (side, key, translation) -> the first synonym of the sub-entry that gave it.
FIRST_SYNONYM = {}
# (side, key) -> the translation the dictionary's order gives the key (near enough:
# the first synonym of the first head entry that lists the key first).
DEFAULT = {}
# German keys whose DEFAULT comes from a verb's entry.
VERB_DEFAULT = set()


def read_dictionary():
    """English key -> German translations, German key -> English translations (every
    synonym of every sub-entry that lists the key), in the dictionary's order, keys
    case-folded."""
    en_de, de_en = collections.defaultdict(list), collections.defaultdict(list)
    FIRST_SYNONYM.clear()
    with open(DICTIONARY, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            sides = split_outside(line, " :: ")
            if len(sides) != 2:
                continue
            german, english = split_outside(sides[0], " | "), split_outside(sides[1], " | ")
            if len(german) != len(english):
                continue
            for sub, (g, e) in enumerate(zip(german, english)):
                g_syn, e_syn = split_outside(g, "; "), split_outside(e, "; ")
                g_terms, e_terms = target_terms(g_syn, False), target_terms(e_syn, True)
                for position, raw in enumerate(e_syn):
                    if not short_enough(raw.strip()):
                        continue
                    key = without_objects(clean_term(raw))
                    if not usable(key):
                        continue
                    if sub == 0 and position == 0 and g_terms:
                        for k in {key.lower(), key[3:].lower() if key.startswith("to ") else ""}:
                            DEFAULT.setdefault(("en", k), g_terms[0])
                    for k in {key.lower(), key[3:].lower() if key.startswith("to ") else ""}:
                        for t in g_terms if k else ():
                            if t not in en_de[k]:
                                en_de[k].append(t)
                                FIRST_SYNONYM[("en", k, t)] = g_terms[0]
                for position, raw in enumerate(g_syn):
                    if not short_enough(raw.strip()):
                        continue
                    key = without_objects(clean_term(raw))
                    if not usable(key):
                        continue
                    if sub == 0 and position == 0 and e_terms:
                        if DEFAULT.setdefault(("de", key.lower()), e_terms[0]) == e_terms[0] \
                                and "{v" in g:
                            VERB_DEFAULT.add(key.lower())
                    for t in e_terms:
                        if t not in de_en[key.lower()]:
                            de_en[key.lower()].append(t)
                            FIRST_SYNONYM[("de", key.lower(), t)] = e_terms[0]
    return en_de, de_en


# ---- matching words --------------------------------------------------------------

WORD = re.compile(r"[A-Za-zÄÖÜäöüß]+(?:[-'][A-Za-zÄÖÜäöüß]+)*")
GERMAN_FUNCTION = {"der", "die", "das", "den", "dem", "des", "ein", "eine", "einen", "einem",
                   "einer", "sich", "zu", "und", "oder", "etw", "jdn", "jdm", "von", "mit"}
ENGLISH_FUNCTION = {"the", "a", "an", "to", "of", "and", "or", "sth", "sb", "oneself",
                    "one's", "be", "with", "for", "in", "on"}


def english_stems(word):
    w = word.lower()
    forms = {w}
    for suffix, repl in (("ies", "y"), ("es", ""), ("s", ""), ("ed", ""), ("ed", "e"),
                         ("ing", ""), ("ing", "e"), ("d", "")):
        if w.endswith(suffix) and len(w) - len(suffix) >= 3:
            forms.add(w[: len(w) - len(suffix)] + repl)
    return forms


def german_simple_stems(word):
    w = word.lower()
    forms = {w}
    for suffix in ("en", "n", "e", "s", "es", "er", "em"):
        if w.endswith(suffix) and len(w) - len(suffix) >= 3:
            forms.add(w[: -len(suffix)])
    return forms


class GermanStems:
    """Hunspell's stems of German words (lower-cased), asked of the hunspell program
    once for every distinct word."""

    def __init__(self, words):
        words = sorted(set(words))
        out = subprocess.run(["hunspell", "-s", "-d", "de_DE", "-i", "utf-8"],
                             input="\n".join(words) + "\n", capture_output=True,
                             text=True, check=True).stdout
        self.stems = collections.defaultdict(set)
        for line in out.splitlines():
            parts = line.split()
            if len(parts) == 2:
                self.stems[parts[0].lower()].add(parts[1].lower())

    def of(self, word):
        forms = german_simple_stems(word)
        for stem in self.stems.get(word.lower(), ()):
            forms |= german_simple_stems(stem)
        return forms


def presence(candidate_words, stems_of_sentence, tokens, stem, cased):
    """1 when every content word of the candidate is in the sentence, 0.5 when each is
    at least part of a compound there, else 0. German words match only words of their
    own case: a noun is written with a capital, a verb is not ("Cache", "cachen")."""
    content = [w for w in candidate_words if w.lower() not in GERMAN_FUNCTION | ENGLISH_FUNCTION]
    if not content:
        return 0
    score = 1.0
    for w in content:
        upper = w[:1].isupper() if cased else None
        forms = {(f, upper) for f in stem(w)}
        if forms & stems_of_sentence:
            continue
        root = min(stem(w), key=len)
        if len(root) >= 4 and any(root in t for t in tokens):
            score = 0.5
            continue
        return 0
    return score


def count_senses(pairs, dictionary, source_stem, target_stem, target_is_german):
    """key -> Counter(candidate -> support) over sentence pairs (source, target)."""
    support = collections.defaultdict(collections.Counter)
    for source, target in pairs:
        words = [w.lower() for w in WORD.findall(source)]
        original = WORD.findall(target)
        target_tokens = [w.lower() for w in original]
        target_stems = set()
        for i, t in enumerate(original):
            # A sentence's first word may be of either case.
            cases = ({True, False} if i == 0 else {t[:1].isupper()}) if target_is_german else {None}
            for f in target_stem(t):
                for case in cases:
                    target_stems.add((f, case))
        seen = set()
        for n in range(1, MAX_PHRASE_WORDS + 1):
            for i in range(len(words) - n + 1):
                gram = " ".join(words[i:i + n])
                keys = {gram} if n > 1 else source_stem(gram) | {gram}
                for key in keys:
                    if key in seen or key not in dictionary:
                        continue
                    seen.add(key)
                    candidates = dictionary[key]
                    if len(candidates) < 2:
                        continue
                    for c in candidates:
                        p = presence(c.split(), target_stems, target_tokens, target_stem,
                                     target_is_german)
                        if p:
                            support[key][c] += p
    return support


def choose(support, frequency, side):
    """key -> the best-supported candidate, where it is clearly ahead: supported at
    least MIN_SUPPORT times and half as often again as the next. Of candidates that share a
    stem ("remove", "removing") the one the dictionary lists first is taken. A later
    synonym does not displace the first one of its sub-entry when real text uses that
    one too (a fifth as often or more), and an English translation spelt as the
    German key itself ("Auto": "auto") only comes from the dictionary's own order (the
    manuals name their own buttons so), or as a spelling of the dictionary's first sense
    ("Dialog": "dialogue; dialog"); a German one ("pixel": "Pixel") may be learnt. The table corrects senses
    that real text hardly uses; where it also uses the dictionary's own choice
    (MIN_SUPPORT times and a tenth as often as the best), that one stays ("groß" is
    "big" before "large")."""
    chosen = {}
    for key, counts in support.items():
        ranked = sorted(counts.items(),
                        key=lambda kv: (-kv[1], -frequency.get(kv[0].lower(), 0), kv[0]))
        best, score = ranked[0]
        order = {c: i for i, c in enumerate(DICTIONARY_ORDER[side].get(key, ()))}
        for other, other_score in ranked[1:]:
            if (other_score >= 0.9 * score and shared_stem(best, other)
                    and order.get(other, 1e9) < order.get(best, 1e9)):
                best = other
        # A German infinitive takes the English verb rather than its -ing noun when
        # real text supports both alike ("bearbeiten": "edit", not "editing"); the
        # noun ("das Bearbeiten") has a sense of its own in the dictionary.
        if side == "de" and key.endswith("n") and best.endswith("ing"):
            for other, other_score in ranked:
                if (other_score >= 0.9 * score and shared_stem(best, other)
                        and not other.endswith("ing") and " " not in other):
                    best = other
                    break
        second = max((v for c, v in counts.items() if c != best and not shared_stem(c, best)),
                     default=0)
        if score < MIN_SUPPORT or score < 1.5 * second:
            continue
        first = FIRST_SYNONYM.get((side, key, best), best)
        if first != best and counts.get(first, 0) >= 0.2 * score:
            continue
        default = DEFAULT.get((side, key))
        # A spelling of the dictionary's own sense ("Dialog": "dialogue; dialog") may
        # be learnt as it is written in the German key.
        if (side == "de" and best.lower() == key.lower()
                and FIRST_SYNONYM.get((side, key, best)) != default):
            continue
        if default and default != best and counts.get(default, 0) >= max(MIN_SUPPORT, 0.1 * score):
            # The engine orders a German verb's senses by how common the English verb
            # is, not by the dictionary's order, which therefore does not stay: the
            # sense real text uses most is written before a rare one ("aktivieren":
            # "enable", not "beef up").
            if side == "de" and key in VERB_DEFAULT:
                chosen[key] = best
            continue
        chosen[key] = best
    return chosen


MIN_SUPPORT = 3
DICTIONARY_ORDER = {}


# ---- senses the dictionary does not list -----------------------------------------

# A German noun that real text translates with an English word its dictionary entry
# does not offer ("Ebene": "layer", "Symbol": "icon", "Folie": "slide"): at least
# UNLISTED_MIN_PAIRS sentence pairs of its own with that word, in at least half of the
# pairs with the noun, where no other German word of the pair translates it, and far
# more often than any translation the dictionary offers.
UNLISTED_MIN_NOUN = 20
UNLISTED_MIN_PAIRS = 30
UNLISTED_MIN_SHARE = 0.5
UNLISTED_MIN_LIFT = 20  # times as often with the noun as in the English text at large


def german_nouns():
    """The case-folded German words the dictionary tags as nouns."""
    nouns = set()
    noun = re.compile(r"([A-ZÄÖÜ][\wäöüß-]*) \{(?:m|f|n|pl)\}")
    with open(DICTIONARY, encoding="utf-8") as f:
        for line in f:
            if not line.startswith("#"):
                nouns.update(m.group(1).lower() for m in noun.finditer(line.split(" :: ")[0]))
    return nouns


def learn_unlisted(train, en_de, de_en):
    """German noun -> the English term real text uses for it where the dictionary
    offers none like it. A term of two words when the word mostly stands in one whose
    other word the noun also explains ("spin button"). Repeated sentences count once,
    so that a boilerplate line teaches nothing."""
    seen, pairs = set(), []
    for en, de in train:
        if en not in seen and de not in seen:
            seen.update((en, de))
            pairs.append((en, de))
    german_of = {w: {t.lower() for t in ts if " " not in t and len(t) >= 4}
                 for w, ts in en_de.items()}

    def capitalised(de):
        return {w.lower() for w in WORD.findall(de) if w[:1].isupper()}

    def content(en):
        return {w.lower() for w in WORD.findall(en)} - ENGLISH_FUNCTION

    noun_pairs, upper, lower = collections.Counter(), collections.Counter(), collections.Counter()
    for _, de in pairs:
        noun_pairs.update(capitalised(de))
        for i, w in enumerate(WORD.findall(de)):
            if i:  # a sentence's first word has its capital anyway
                (upper if w[:1].isupper() else lower)[w.lower()] += 1
    dictionary_nouns = german_nouns()
    keys = {k for k, n in noun_pairs.items()
            if n >= UNLISTED_MIN_NOUN and k in de_en and k in dictionary_nouns
            and lower[k] <= 0.1 * upper[k]}
    listed = {k: {x.lower() for t in de_en[k] for x in [t] + t.replace("-", " ").split()}
              for k in keys}
    english = collections.Counter()
    together = collections.defaultdict(collections.Counter)  # not explained otherwise
    listed_support = collections.Counter()
    bigrams = collections.defaultdict(collections.Counter)
    for en, de in pairs:
        words = content(en)
        english.update(words)
        present = capitalised(de) & keys
        if not present:
            continue
        german_tokens = [t.lower() for t in WORD.findall(de)]
        english_tokens = [w.lower() for w in WORD.findall(en)]
        for k in present:
            if any(english_stems(w) & listed[k] for w in words):
                listed_support[k] += 1
            bigrams[k].update(zip(english_tokens, english_tokens[1:]))
        for w in words:
            forms = set().union(*(german_of.get(f, set()) for f in english_stems(w)))
            if any(g in t for g in forms for t in german_tokens):
                continue  # another word of the pair (or a part of the noun) means it
            for k in present:
                together[k][w] += 1
    chosen = {}
    for k in sorted(keys):
        if not together[k]:
            continue
        word, n = max(together[k].items(),
                      key=lambda kv: (2 * kv[1] / (noun_pairs[k] + english[kv[0]]), kv[0]))
        share = n / noun_pairs[k]
        if (n < UNLISTED_MIN_PAIRS or share < UNLISTED_MIN_SHARE or len(word) < 3 or word == k
                or share / (english[word] / len(pairs)) < UNLISTED_MIN_LIFT
                or listed_support[k] >= n / 3):
            continue
        term = word
        runs = [(count, bigram) for bigram, count in bigrams[k].items()
                if word in bigram and not set(bigram) & ENGLISH_FUNCTION]
        if runs:
            count, bigram = max(runs)
            other = [x for x in bigram if x != word]
            if count >= 0.6 * n and other and together[k][other[0]] >= 0.6 * n:
                term = " ".join(bigram)
        if term in listed[k] or any(shared_stem(term, x) for x in listed[k]):
            continue
        chosen[k] = term
    return chosen


def shared_stem(a, b):
    a, b = a.lower(), b.lower()
    n = 0
    while n < min(len(a), len(b)) and a[n] == b[n]:
        n += 1
    return n >= 4 and n >= min(len(a), len(b)) - 3


# Senses of everyday words and greetings that the manuals hardly use, so that they
# cannot teach them:
# written over what was learnt. A verb's own sense has its key with "to" ("to need":
# "brauchen"), apart from the word's ("need": "müssen", learnt from "need to").
EVERYDAY_EN = {
    "bus": "Bus",
    "good morning": "Guten Morgen",
    "to need": "brauchen",
    "train": "Zug",
}
EVERYDAY_DE = {
    "fliegen": "fly",
    "film": "film",
    "wohnen": "live",
    "zug": "train",
}


def main():
    args = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    args.add_argument("--out", default=os.path.dirname(os.path.abspath(__file__)))
    args.add_argument("--tests", help="folder for the held-out sets")
    args.add_argument("--dev", help="file for the tuning set (English TAB German)")
    opts = args.parse_args()

    pairs = collections.defaultdict(list)
    for doc, en, de in sentence_pairs("de"):
        pairs[split_of(doc)].append((doc, en, de))
    print({k: len(v) for k, v in pairs.items()}, file=sys.stderr)

    if opts.tests:
        write_heldout(os.path.join(opts.tests, "heldout.en-de.tsv"), pairs["test"])
        es = [p for p in sentence_pairs("es") if split_of(p[0]) == "test"]
        write_heldout(os.path.join(opts.tests, "heldout.en-es.tsv"), es)
    if opts.dev:
        write_heldout(opts.dev, pairs["dev"], limit=800)

    train = [(en, de) for _, en, de in pairs["train"]]
    en_de, de_en = read_dictionary()
    german_words = {w for _, de in train for w in WORD.findall(de)}
    german_words |= {w for cands in en_de.values() for c in cands for w in c.split()}
    stems = GermanStems(german_words)
    german_frequency = collections.Counter(w.lower() for _, de in train for w in WORD.findall(de))
    english_frequency = collections.Counter(w.lower() for en, _ in train for w in WORD.findall(en))

    DICTIONARY_ORDER.update(en=en_de, de=de_en)
    en_choice = choose(count_senses(train, en_de, english_stems, stems.of, True),
                       german_frequency, "en")
    de_choice = choose(count_senses([(de, en) for en, de in train], de_en, stems.of,
                                    english_stems, False), english_frequency, "de")
    unlisted = learn_unlisted(train, en_de, de_en)
    de_choice.update(unlisted)
    en_choice.update(EVERYDAY_EN)
    de_choice.update(EVERYDAY_DE)
    versions = package_versions()
    path = os.path.join(opts.out, "senses.tsv")
    with open(path, "w", encoding="utf-8") as f:
        f.write("# The dictionary sense each word takes, learnt from parallel manuals by\n")
        f.write("# build-senses.py. Rows: direction (en = English key, de = German key),\n")
        f.write("# the key (case-folded), the translation the engine prefers; a fourth field\n")
        f.write("# \"unlisted\" for a German noun's sense that its dictionary entry lacks.\n")
        f.write("# Built from: " + ", ".join(versions) + "\n")
        for key in sorted(en_choice):
            f.write("en\t%s\t%s\n" % (key, en_choice[key]))
        for key in sorted(de_choice):
            mark = "\tunlisted" if unlisted.get(key) == de_choice[key] else ""
            f.write("de\t%s\t%s%s\n" % (key, de_choice[key], mark))
    print("wrote %s: %d English and %d German keys" % (path, len(en_choice), len(de_choice)),
          file=sys.stderr)


def package_versions():
    out = subprocess.run(["dpkg-query", "-W", "-f", "${Package}=${Version}\\n"] + PACKAGES,
                         capture_output=True, text=True).stdout
    return out.split()


def write_heldout(path, pairs, limit=600):
    """Up to `limit` distinct one-sentence pairs of 5 to 30 words, balanced over the
    manuals, English TAB other."""
    by_source = collections.defaultdict(list)
    seen = set()
    for doc, en, other in pairs:
        n = len(en.split())
        if not 5 <= n <= 30 or en in seen or "\t" in en + other:
            continue
        if not en[-1] in ".!?:" or not other[-1] in ".!?:":
            continue
        # A paragraph the translators left in English teaches and tests nothing.
        shared = set(en.lower().split()) & set(other.lower().split())
        if len(shared) > 0.5 * len(set(en.lower().split())):
            continue
        seen.add(en)
        by_source[doc.split("/")[0]].append((en, other))
    chosen = []
    share = limit // max(1, len(by_source))
    for source in sorted(by_source):
        rows = by_source[source]
        step = max(1, len(rows) // share)
        chosen += rows[::step][:share]
    with open(path, "w", encoding="utf-8") as f:
        for en, other in chosen:
            f.write("%s\t%s\n" % (en, other))
    print("wrote %s: %d pairs" % (path, len(chosen)), file=sys.stderr)


if __name__ == "__main__":
    main()
