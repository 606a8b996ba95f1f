// The German engine's grammar on a small dictionary in the ding format and a few
// Hunspell rules in their own format: agreement, verb forms, negation, measures,
// contractions and word order in both directions.

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "DictionaryEngine.h"
#include "GermanMorphology.h"

namespace parlumo::service {
namespace {

constexpr std::string_view kDictionary =
    "# Version :: test\n"
    "Haus {n} | Häuser {pl} :: house | houses\n"
    "Katze {f} | Katzen {pl} :: cat | cats\n"
    "Hund {m} | Hunde {pl} :: dog | dogs\n"
    "Tasse {f} | Tassen {pl} :: cup | cups\n"
    "Kaffee {m} :: coffee\n"
    "Garten {m} | Gärten {pl} :: garden | gardens\n"
    "groß {adj} :: big\n"
    "alt {adj} :: old\n"
    "O {interj} :: oh\n"
    "dunkel {adj} :: dark\n"
    "schlafen {vi} | schlafend | du schläfst | er/sie schläft :: to sleep | sleeping | you sleep "
    "| he/she sleeps\n"
    "spielen {vi} :: to play\n"
    "sehen {vt} | sehend | du siehst | er/sie sieht :: to see sth. | seeing | you see | he/she "
    "sees\n"
    "einkaufen {vt} :: to buy sth.\n"
    "kaufen {vt} :: to purchase\n"
    "öffnen {vt} :: to open\n"
    "verschlafen {vt} :: to oversleep\n"
    "verfehlen {vt} :: to miss\n"
    "beachten {vt} :: to note\n"
    "beschreiben {vt} | beschreibend | beschrieben | er/sie beschreibt :: to describe | "
    "describing | described | he/she describes\n"
    "berechnen {vt} :: to calculate\n"
    "berechnet {adj} :: calculated\n"
    "markieren {vt} :: to mark\n"
    "merklich {adj} :: marked\n"
    "dann {adv} :: then\n"
    "einfügen {vt} :: to insert\n"
    "sich fügen {vr} :: to comply\n"
    "erlauben {vt} :: to allow\n"
    "helfen {vi} | helfend | geholfen | er/sie hilft :: to help | helping | helped | he/she "
    "helps\n"
    "Tür {f} | Türen {pl} :: door | doors\n"
    "in {prp; +Dat.} :: in\n"
    "mit {prp; +Dat.} :: with\n"
    "für {prp; +Akk.} :: for\n"
    "ohne {prp; +Akk.} :: without\n"
    "stattdessen {adv} :: instead\n"
    "heute {adv} :: today\n"
    "gut {adj} :: good\n"
    "erinnern {vt} :: to remind\n"
    "wählen {vi} :: to make your choice\n"
    "wählen {vt} :: to choose\n"
    "lassen {vt} | lassend | du lässt | er/sie lässt :: to let | letting | you let | he/she "
    "lets\n"
    "verschlossen {adj} :: locked\n"
    "verfügen {vt} :: to decree\n"
    "Fenster {n} | Fenster {pl} :: window | windows\n"
    "Dialog {m} | Dialoge {pl} :: dialog | dialogs\n"
    "Ebene {f} | Ebenen {pl} :: layer | layers\n"
    "warten {vi} :: to wait\n"
    "treiben {vt} :: to drive\n"
    "brauchen {vt} :: to need\n"
    "entfernen {vt} :: to remove\n"
    "entfernt {adj} :: distant; removed\n"
    "bereits; schon {adv} :: already\n"
    "Spiel {n} | Spiele {pl} :: play | plays\n"
    "verwenden {vt} | verwendend | verwendet :: to use | using | used\n"
    "benutzt {adj} :: used\n"
    "unterstützen {vt} :: to support\n"
    "unterstützt {adj} :: supported\n"
    "ermüden {vt} :: to tire\n"
    "müde {adj} :: tired\n"
    "bitten {vt} :: to ask\n"
    "folgend {adj} :: following\n"
    "Bistum {n} :: see\n"
    "neu {adj} :: new\n"
    "Auto {n} | Autos {pl} :: car | cars\n"
    "Neuwagen {m} :: new car\n"
    "Stadt {f} | Städte {pl} :: city | cities\n"
    "zu {prp; +Dat.} :: to\n"
    "Frage {f} | Fragen {pl} :: question | questions\n"
    "stellen {vt} :: to put\n"
    "bitte :: please\n"
    "über {prp} :: above; over; about\n"
    "Menü {n} | Menüs {pl} :: menu | menus\n"
    "Informationen {pl} :: information\n"
    "auftreten {vi} :: to occur\n"
    "Fehler {m} | Fehler {pl} :: error | errors\n"
    "Link {m} | Links {pl} :: link | links\n"
    "linke {adj} :: left\n"
    "grün {adj} :: green\n"
    "grünen {vi} :: to vegetate\n"
    "geben {vt} | gebend | du gibst | er/sie gibt :: to give | giving | you give | he/she "
    "gives\n"
    "hinzufügen {vt} :: to add\n"
    "eingeben {vt} | eingebend | eingegeben :: to type in | typing in | typed in\n"
    "finden {vt} | findend | gefunden :: to find | finding | found\n"
    "gelten {vi} | geltend | gegolten | es gilt | es galt :: to apply | applying | applied | it "
    "applies | it applied\n"
    "ergeben {vt} :: to result in\n"
    "schicken {vt} :: to send\n"
    "nehmen {vt} :: to take\n"
    "übernehmen {vt} :: to take over\n"
    "Möglichkeit {f} | Möglichkeiten {pl} :: possibility | possibilities\n"
    "Fügen {n} :: joining\n"
    "auch {adv} :: also\n"
    "als :: as\n"
    "automatisch {adj} :: automatic\n"
    "einfach {adj} :: simple\n"
    "Auslese {f} | Auslesen {pl} :: selection | selections\n"
    "Falte {f} | Falten {pl} :: line | lines\n"
    "Farbe {f} | Farben {pl} :: colour | colours\n"
    "Option {f} | Optionen {pl} :: option | options\n"
    "danken {vi} :: to thank\n"
    "möglich {adj} :: possible\n"
    "leicht {adj} :: easy\n"
    "klicken {vi} :: to click\n"
    "Knopf {m} | Knöpfe {pl} :: button | buttons\n"
    "auf {prp} :: on\n"
    "versuchen {vt} :: to try\n"
    "betreten {vt} :: to enter\n"
    "zumachen {vt} | das Fenster zumachen :: to close | to close the window\n"
    "unternehmen {vt} :: to make\n"
    "durch {prp} :: through\n"
    "Strafmandat {n} | Strafmandate {pl} :: ticket | tickets\n"
    "sich drehen {vr} :: to turn\n"
    "Name {m} | Namen {pl} :: name | names\n"
    "hier {adv} :: here\n"
    "dort {adv} :: there\n"
    "sobald {conj} :: as soon as\n"
    "auch wenn {conj} :: even if\n"
    "Freund {m}; Freundin {f} | Freunde {pl}; Freundinnen {pl} :: friend | friends\n"
    "Lehrer {m}; Lehrerin {f} | Lehrer {pl}; Lehrerinnen {pl} :: teacher | teachers\n"
    "Frau {f} | Frauen {pl} :: woman | women\n"
    "Liste {f} | Listen {pl} :: list | lists\n"
    "vornehmen {vt} :: to carry out\n"
    "führen {vt} :: to lead\n"
    "Druck {m} | Drucke {pl} :: print | prints\n"
    "drucken {vt} :: to print\n"
    "brechen {vt} | brechend | gebrochen | er/sie bricht :: to break | breaking | broken | "
    "he/she breaks\n"
    "unterbrechen {vt} :: to interrupt\n"
    "Etwas {n} :: something\n"
    "älter {adj} :: older\n"
    "später {adv} :: later\n"
    "stattgeben {vi} :: to grant\n"
    "in Anspruch nehmen {vt} :: to claim\n"
    "neu geladen {adj} :: reloaded\n"
    "schnell {adj} | schneller | am schnellsten :: fast | faster | fastest\n"
    "Taste {f} | Tasten {pl} :: key | keys\n"
    "Umschaltung {f} :: shift\n"
    "Ordner {f} | Ordner {pl} :: paper folder | paper folders\n"
    "Ordner {m} | Ordner {pl} :: folder | folders\n"
    "Ordner {m} | Ordner {pl} :: steward | stewards\n"
    "gestrichelt {adj} :: dotted\n"
    "prüfen {vt} :: to check\n"
    "beschneiden {vt} :: to clip\n"
    "beschnitten {adj} :: circumcised\n"
    "entscheiden {vt} :: to decide\n"
    "entschieden {adj} :: determined\n"
    "bereiten {vt} | bereitend | bereitet :: to prepare | preparing | prepared\n"
    "beritten {adj} :: mounted\n"
    "gleich {adj} :: same\n"
    "legen {vt} :: to lay\n"
    "Stil {m} | Stile {pl} :: style | styles\n"
    "stylen {vt} :: to style\n";

constexpr std::string_view kAffixes =
    "SET UTF-8\n"
    "SFX A Y 10\n"
    "SFX A   0       e          [^elr]\n"
    "SFX A   0       en         [^elr]\n"
    "SFX A   0       er         [^elr]\n"
    "SFX A   0       es         [^elr]\n"
    "SFX A   0       em         [^elr]\n"
    "SFX A   el      le         [^eil]el\n"
    "SFX A   el      len        [^eil]el\n"
    "SFX A   el      ler        [^eil]el\n"
    "SFX A   el      les        [^eil]el\n"
    "SFX A   el      lem        [^eil]el\n"
    "SFX I Y 3\n"
    "SFX I   n       0          en\n"
    "SFX I   en      t          [^dimnt]en\n"
    "SFX I   n       t          [dt]en\n"
    "SFX X Y 2\n"
    "SFX X   en      st         [^dimnßstwzx]en\n"
    "SFX X   en      t          [^ditmnw]en\n"
    "SFX Z Y 1\n"
    "SFX Z   0       x          .\n";
constexpr std::string_view kWords =
    "12\n"
    "groß/A\n"
    "alt/A\n"
    "dunkel/A\n"
    "spielen/IXZ\n"
    "sehen/I\n"
    "schlafen/I\n"
    "kaufen/IX\n"
    "schicken/IX\n"
    "link/A\n"
    "Farb/hij\n"
    "Abschnitts/hij\n"
    "Bild/RTMSmij\n";

GermanMorphology TestMorphology() {
  std::istringstream affixes{std::string(kAffixes)};
  std::istringstream words{std::string(kWords)};
  auto morphology = GermanMorphology::Load(affixes, words);
  EXPECT_TRUE(morphology);
  return std::move(*morphology);
}

const Dictionary& TestDictionary() {
  static const std::unique_ptr<Dictionary> dictionary = [] {
    std::istringstream in{std::string(kDictionary)};
    auto loaded = Dictionary::Load(in);
    EXPECT_TRUE(loaded);
    loaded->SetMorphology(std::make_shared<const GermanMorphology>(TestMorphology()));
    return std::make_unique<Dictionary>(std::move(*loaded));
  }();
  return *dictionary;
}

TEST(GermanMorphologyTest, FormsFromTheRules) {
  const GermanMorphology m = TestMorphology();
  EXPECT_EQ(m.VerbForm("spielen", "e"), "spiele");
  EXPECT_EQ(m.VerbForm("spielen", "st"), "spielst");
  EXPECT_EQ(m.VerbForm("spielen", "t"), "spielt");
  // A verb the word list does not give this flag: no rule, no guess.
  EXPECT_EQ(m.VerbForm("sehen", "st"), std::nullopt);
  EXPECT_EQ(m.VerbForm("unbekannt", "e"), std::nullopt);
  EXPECT_EQ(m.Adjective("groß", "en"), "großen");
  EXPECT_EQ(m.Adjective("dunkel", "e"), "dunkle");
  EXPECT_EQ(m.Adjective("dunkel", "es"), "dunkles");
  EXPECT_EQ(m.Adjective("leise", "en"), "leisen");  // not in the list: the ending alone
  EXPECT_EQ(m.BaseForm("spielt"), "spielen");
  EXPECT_EQ(m.BaseForm("großen"), "groß");
  EXPECT_EQ(m.BaseForm("dunkle"), "dunkel");
  EXPECT_EQ(m.BaseForm("Haus"), std::nullopt);
  EXPECT_EQ(m.BaseForm("großen", true), std::nullopt);
  EXPECT_EQ(m.BaseForm("spiele", true), "spielen");
}

TEST(GermanMorphologyTest, CompoundModifiers) {
  const GermanMorphology m = TestMorphology();
  const struct {
    std::string_view noun;
    std::string_view modifier;
  } cases[] = {
      // A form the word list lets begin a compound.
      {"Farbe", "Farb"},
      {"Abschnitt", "Abschnitts"},
      {"Bild", "Bild"},
      // Else the usual linking element.
      {"Ebene", "Ebenen"},
      {"Einstellung", "Einstellungs"},
      {"Option", "Options"},
      {"Fenster", "Fenster"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(m.CompoundModifier(c.noun), c.modifier) << c.noun;
}

// A byte that starts no UTF-8 sequence is one character of its own: it must not
// swallow the letter after it, or the rule's condition on the word's end fails.
TEST(GermanMorphologyTest, StrayByteIsOneCharacter) {
  std::istringstream affixes{std::string(kAffixes)};
  std::istringstream words{
      "1\nfunk\xC3"
      "el/A\n"};
  const auto m = GermanMorphology::Load(affixes, words);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->Adjective("funk\xC3"
                         "el",
                         "e"),
            "funk\xC3"
            "le");
}

TEST(GermanMorphologyTest, RejectsFilesWithoutRulesOrWords) {
  std::istringstream noRules{"SET UTF-8\n"};
  std::istringstream words{std::string(kWords)};
  EXPECT_FALSE(GermanMorphology::Load(noRules, words));
  std::istringstream affixes{std::string(kAffixes)};
  std::istringstream noWords{"0\n"};
  EXPECT_FALSE(GermanMorphology::Load(affixes, noWords));
}

TEST(GermanGrammarTest, EnglishToGerman) {
  const struct {
    std::string_view english;
    std::string_view german;
  } cases[] = {
      // Articles and adjectives agree in gender, number and case.
      {"The big dog sleeps.", "Der große Hund schläft."},
      {"I see the old dog.", "Ich sehe den alten Hund."},
      {"I see a big house.", "Ich sehe ein großes Haus."},
      {"A dark cat sleeps.", "Eine dunkle Katze schläft."},
      {"We play with the cats.", "Wir spielen mit den Katzen."},
      {"We play with the old dogs.", "Wir spielen mit den alten Hunden."},
      {"The houses are big.", "Die Häuser sind groß."},
      {"All big dogs sleep.", "Alle großen Hunde schlafen."},
      // A past participle before a noun is an adjective.
      {"I see the opened door.", "Ich sehe die geöffnete Tür."},
      {"We play with the opened cups.", "Wir spielen mit den geöffneten Tassen."},
      {"I see both old houses.", "Ich sehe beide alten Häuser."},
      {"My cat sleeps.", "Meine Katze schläft."},
      {"Our dogs sleep.", "Unsere Hunde schlafen."},
      // The verb agrees with its subject.
      {"You sleep.", "Sie schlafen."},
      {"He sees the cat.", "Er sieht die Katze."},
      {"They play.", "Sie spielen."},
      {"I play.", "Ich spiele."},
      // An inseparable prefix keeps the vowel change of the verb under it.
      {"He oversleeps.", "Er verschläft."},
      // Negation: "kein" for an indefinite object, "nicht" otherwise.
      {"I do not have a dog.", "Ich habe keinen Hund."},
      {"She does not see the cat.", "Sie sieht die Katze nicht."},
      {"The house is not big.", "Das Haus ist nicht groß."},
      {"I have no cat.", "Ich habe keine Katze."},
      // Modal verbs send the infinitive to the end; "would like" is "möchte".
      {"I can see the dog.", "Ich kann den Hund sehen."},
      // A weak participle takes "et" after t, d and a consonant's m or n.
      {"I have opened the door.", "Ich habe die Tür geöffnet."},
      // An adverb between the modal and its verb stays with the modal; a modal's
      // "be" and participle are the passive infinitive, "gesehen werden".
      {"I can today see the dog.", "Ich kann heute den Hund sehen."},
      {"The door can be opened.", "Die Tür kann geöffnet werden."},
      {"The door can not be opened today.", "Die Tür kann heute nicht geöffnet werden."},
      {"I would like a cup of coffee.", "Ich möchte eine Tasse Kaffee."},
      {"We would like to play.", "Wir möchten spielen."},
      {"I like to play.", "Ich spiele gern."},
      // "to" and a verb after a noun: the infinitive of purpose, "um ... zu".
      {"I buy a cup to see the garden.", "Ich kaufe eine Tasse ein, um den Garten zu sehen."},
      {"We play in the garden to buy a dog.", "Wir spielen im Garten, um einen Hund einzukaufen."},
      {"The dog sleeps in the house to see the cat today.",
       "Der Hund schläft im Haus, um die Katze heute zu sehen."},
      // "of" and a noun phrase with an article after a noun: the genitive.
      {"I see the garden of the old house.", "Ich sehe den Garten des alten Hauses."},
      {"The cat of the dogs sleeps.", "Die Katze der Hunde schläft."},
      {"We play with the cup of a cat.", "Wir spielen mit der Tasse einer Katze."},
      // Commands: the polite form, also after "and" and after a phrase and a comma.
      {"See the cat and play with the dog.", "Sehen Sie die Katze und spielen Sie mit dem Hund."},
      {"In the garden, see the cat.", "Im Garten sehen Sie die Katze."},
      // Contractions, separable verbs, verb second.
      {"The cat sleeps in the house.", "Die Katze schläft im Haus."},
      {"I buy a cat.", "Ich kaufe eine Katze ein."},
      {"Today I play in the garden.", "Heute spiele ich im Garten."},
      // "you" is the polite "Sie", as the commands are; "your" is "Ihr".
      {"You see your cat.", "Sie sehen Ihre Katze."},
      {"The dog sees you.", "Der Hund sieht Sie."},
      {"Do you play?", "Spielen Sie?"},
      // "know" with a noun phrase is "kennen", with "it" or a clause "wissen".
      {"I know the dog.", "Ich kenne den Hund."},
      {"She does not know the old cats.", "Sie kennt die alten Katzen nicht."},
      {"I know it.", "Ich weiß es."},
      // "need to" is "müssen"; "need" with an object is the verb's own sense.
      {"We need to play.", "Wir müssen spielen."},
      {"He needs to see the cat.", "Er muss die Katze sehen."},
      {"We need a cup.", "Wir brauchen eine Tasse."},
      // A verb's own preposition and its case ("wait for": "warten auf" and the
      // accusative).
      {"We wait for the dog.", "Wir warten auf den Hund."},
      {"The cat is waiting for the old dogs.", "Die Katze wartet auf die alten Hunde."},
      // "be" and a participle: the passive with "werden"; with "already" the state.
      // A participle the dictionary also lists as an adjective ("removed") is still
      // the participle.
      {"The door is opened.", "Die Tür wird geöffnet."},
      {"The doors are opened in the garden.", "Die Türen werden im Garten geöffnet."},
      {"The cat is removed.", "Die Katze wird entfernt."},
      {"The door is already opened.", "Die Tür ist bereits geöffnet."},
      {"The house is big.", "Das Haus ist groß."},
      // An everyday verb sense the dictionary lists only inside a longer entry.
      {"We drive in the garden.", "Wir fahren im Garten."},
      // "nicht" after a definite object, before the infinitive that goes to the end.
      {"You can not see the cat.", "Sie können die Katze nicht sehen."},
      {"I can not see the old dogs today.", "Ich kann heute die alten Hunde nicht sehen."},
      // After a subordinate clause or a phrase in front, the main clause starts with
      // its verb; after a phrase without a comma.
      {"When the door is opened, the cat sleeps in the garden.",
       "Wenn die Tür geöffnet wird, schläft die Katze im Garten."},
      {"If the house is big, we play in the garden.",
       "Wenn das Haus groß ist, spielen wir im Garten."},
      {"In the garden, the old dogs sleep.", "Im Garten schlafen die alten Hunde."},
      {"The cat sleeps, the dog plays.", "Die Katze schläft, der Hund spielt."},
      // Relative clauses: the pronoun takes the noun's gender and its case in the
      // clause, the verb goes last; a main clause's verb after it gets its comma. A
      // relative clause without "which" ("the house you see") gains its pronoun.
      {"I see the cat which sleeps in the garden.", "Ich sehe die Katze, die im Garten schläft."},
      {"The dog which sleeps is old.", "Der Hund, der schläft, ist alt."},
      {"The cats which play in the garden are big.",
       "Die Katzen, die im Garten spielen, sind groß."},
      {"I see the dog that the cat sees.", "Ich sehe den Hund, den die Katze sieht."},
      {"I see the house you see.", "Ich sehe das Haus, das Sie sehen."},
      {"The cup I buy is big.", "Die Tasse, die ich einkaufe, ist groß."},
      {"I can see the dogs that sleep.", "Ich kann die Hunde sehen, die schlafen."},
      {"The cat has opened the door which is old.", "Die Katze hat die Tür geöffnet, die alt ist."},
      // A separable verb at the end of a subordinate clause is one word again.
      {"I play when I buy a cup.", "Ich spiele, wenn ich eine Tasse einkaufe."},
      // Nouns in a row are one compound, which takes the gender of its last noun; a
      // noun that can be the verb and agrees with the noun before it is the verb.
      {"I see the garden door.", "Ich sehe die Gartentür."},
      {"The house door is big.", "Die Haustür ist groß."},
      {"House doors are big.", "Haustüren sind groß."},
      {"We play with the house cats.", "Wir spielen mit den Hauskatzen."},
      {"The cats play.", "Die Katzen spielen."},
      {"The cat plays in the garden.", "Die Katze spielt im Garten."},
      // An English participle in "-ed" after "be" that the dictionary also lists as
      // an adjective reading as a German participle is the passive; one that reads
      // as another adjective stays that ("tired": "müde"). A verb with a prefix
      // that takes no "ge" keeps the dictionary's participle ("unterstützt").
      {"The door is used.", "Die Tür wird verwendet."},
      {"The cat is supported.", "Die Katze wird unterstützt."},
      {"The cat is tired.", "Die Katze ist müde."},
      {"The cat can be removed.", "Die Katze kann entfernt werden."},
      // "by" and an -ing form: "indem" with the sentence's subject, else the reader;
      // "using" before a noun phrase is "mit".
      {"We play in the garden by opening the door.",
       "Wir spielen im Garten, indem wir die Tür öffnen."},
      {"The door is opened by using the cup.",
       "Die Tür wird geöffnet, indem Sie die Tasse verwenden."},
      {"Open the door before playing.", "Öffnen Sie die Tür, bevor Sie spielen."},
      {"See the garden using the cup.", "Sehen Sie den Garten mit der Tasse."},
      {"The cats are using the cup.", "Die Katzen verwenden die Tasse."},
      // The object of a command is in the accusative.
      {"See the dog.", "Sehen Sie den Hund."},
      // A description that starts with its verb in "-s" keeps it first, in the third
      // person, with its objects and a separable prefix at the end.
      {"Opens the door in the garden.", "Öffnet die Tür im Garten."},
      {"Buys a cup.", "Kauft eine Tasse ein."},
      {"Sees the old dog.", "Sieht den alten Hund."},
      // "that" after a verb and before a noun phrase without an article is "dass".
      {"He sees that cats sleep.", "Er sieht, dass Katzen schlafen."},
      // "that" first in the text, before a noun without an article: no word before it
      // to look at.
      {"That cats sleep.", "Diese Katzen schlafen."},
      // A modal that ends the text: nothing after it to look at.
      {"The cat can", "Die Katze kann"},
      {"I see the dog which the cat can", "Ich sehe den Hund, den die Katze kann"},
      // An infinitive that a verb's object is to do takes no "um"; "where" after a
      // clause is "wo" with the verb last.
      {"I ask the dog to see the cat.", "Ich bitte den Hund, die Katze zu sehen."},
      {"I play where the cat sleeps.", "Ich spiele, wo die Katze schläft."},
      // "the following" without its noun is "Folgendes", after "to be" "wie folgt".
      {"I see the following.", "Ich sehe Folgendes."},
      {"We play in the following:", "Wir spielen im Folgenden:"},
      {"The following opens the door.", "Folgendes öffnet die Tür."},
      {"The cat is the following:", "Die Katze ist wie folgt:"},
      {"I see the following dogs.", "Ich sehe die folgenden Hunde."},
      // "See ..." at the start of a sentence is a reference: "Siehe ...".
      {"See cats.", "Siehe Katzen."},
      // A command after "please", and before "that".
      {"Please see the cat.", "Bitte sehen Sie die Katze."},
      {"See that the cat sleeps.", "Sehen Sie, dass die Katze schläft."},
      // A phrase with a preposition between the subject and its auxiliary belongs to
      // the subject.
      {"The cat in the garden is old.", "Die Katze im Garten ist alt."},
      {"The dogs in the old house can see the cat.",
       "Die Hunde im alten Haus können die Katze sehen."},
      // "have been": the perfect with "sein", before a participle the perfect of the
      // passive with "worden" last.
      {"The door has been opened.", "Die Tür ist geöffnet worden."},
      {"The doors have been removed from the house.", "Die Türen sind vom Haus entfernt worden."},
      {"I see the door that has been opened.", "Ich sehe die Tür, die geöffnet worden ist."},
      {"The door had been opened.", "Die Tür war geöffnet worden."},
      {"The cat has been tired.", "Die Katze ist müde gewesen."},
      // A clause in front without its comma: the second subject with its verb starts
      // the main clause, which puts its verb first.
      {"When the cat sleeps the dog plays.", "Wenn die Katze schläft, spielt der Hund."},
      {"If you open the door the cat sleeps.", "Wenn Sie die Tür öffnen, schläft die Katze."},
      {"When the door is opened we see the garden.",
       "Wenn die Tür geöffnet wird, sehen wir den Garten."},
      {"If the cat sleeps in the garden.", "Wenn die Katze im Garten schläft."},
      // An adjective of age and a noun that the dictionary writes as one compound: the
      // plain description, word by word; other phrases stay whole.
      {"I see a new car.", "Ich sehe ein neues Auto."},
      {"I see the new cars.", "Ich sehe die neuen Autos."},
      {"I see the old dog.", "Ich sehe den alten Hund."},
      // "there is" in a subordinate clause puts "gibt" last, after a clause in front
      // first.
      {"If there is a cat, we play.", "Wenn es eine Katze gibt, spielen wir."},
      {"He sees that there are two dogs.", "Er sieht, dass es zwei Hunde gibt."},
      {"We play when there are two dogs.", "Wir spielen, wenn es zwei Hunde gibt."},
      {"When the door is opened, there is a garden.",
       "Wenn die Tür geöffnet wird, gibt es einen Garten."},
      // "its" agrees with its owner, the nearest noun before it that is no
      // preposition's.
      {"The door opens its window.", "Die Tür öffnet ihr Fenster."},
      {"The dog opens its door.", "Der Hund öffnet seine Tür."},
      // "to" a place one enters is "in" and the accusative; other places take "zu".
      {"We drive to the city.", "Wir fahren in die Stadt."},
      {"We drive to the old city.", "Wir fahren in die alte Stadt."},
      {"We drive to the door.", "Wir fahren zur Tür."},
      // A verb that its object chooses.
      {"The cat asks a question.", "Die Katze stellt eine Frage."},
      {"The dogs ask two questions.", "Die Hunde stellen zwei Fragen."},
      {"The dog asks the cat.", "Der Hund bittet die Katze."},
      // "while" with a clause is "während" with the verb last.
      {"While the cat sleeps, the dog plays.", "Während die Katze schläft, spielt der Hund."},
      {"We play while the cat sleeps.", "Wir spielen, während die Katze schläft."},
      // "to" and a verb after a passive's participle: the infinitive of purpose.
      {"The cup is used to open the door.", "Die Tasse wird verwendet, um die Tür zu öffnen."},
      {"The cup can be used to open the door.",
       "Die Tasse kann verwendet werden, um die Tür zu öffnen."},
      {"The dog sees the cat in the garden with its cup.",
       "Der Hund sieht die Katze im Garten mit ihrer Tasse."},
      // A manual's sense before the dictionary's, where the dictionary lists it under
      // another word or not at all.
      {"The selection is big.", "Die Auswahl ist groß."},
      {"I see the old line.", "Ich sehe die alte Zeile."},
      {"We see two lines.", "Wir sehen zwei Zeilen."},
      {"We see two tickets.", "Wir sehen zwei Tickets."},
      // Two subjects joined by "and" take a plural verb; a phrase after "and" with no
      // verb of its own takes the case of the phrase before it.
      {"The cat and the dog play in the garden.", "Die Katze und der Hund spielen im Garten."},
      {"The old cat and the big dog sleep.", "Die alte Katze und der große Hund schlafen."},
      {"The cat and the dog are playing.", "Die Katze und der Hund spielen."},
      {"The cat and I see the house.", "Die Katze und ich sehen das Haus."},
      {"We play with the cat and the dog.", "Wir spielen mit der Katze und dem Hund."},
      {"I see the cat and the old dog.", "Ich sehe die Katze und den alten Hund."},
      {"The cat sleeps and the dog plays.", "Die Katze schläft und der Hund spielt."},
      // Nouns in a row are one compound with its linking elements.
      {"I see the layer dialog.", "Ich sehe den Ebenendialog."},
      {"I open the colour dialog.", "Ich öffne den Farbdialog."},
      {"The option window is big.", "Das Optionsfenster ist groß."},
      {"I see the house door.", "Ich sehe die Haustür."},
      // Greetings and thanks in German's own words, as a whole clause.
      {"Thank you!", "Danke!"},
      {"Thank you for the cup.", "Danke für die Tasse."},
      {"How are you?", "Wie geht es Ihnen?"},
      {"The dog sleeps, how is she?", "Der Hund schläft, wie geht es ihr?"},
      {"How is the dog?", "Wie ist der Hund?"},
      // "one" before a noun is the article; "some of the" the genitive.
      {"I see one dog.", "Ich sehe einen Hund."},
      {"One cat sleeps.", "Eine Katze schläft."},
      {"Some of the dogs sleep.", "Einige der Hunde schlafen."},
      {"I see some of the old houses.", "Ich sehe einige der alten Häuser."},
      // An infinitive that completes an adjective after "to be" has no "um"; alone it
      // has no comma either.
      {"It is possible to open the door.", "Es ist möglich, die Tür zu öffnen."},
      {"It is not possible to see the cat.", "Es ist nicht möglich, die Katze zu sehen."},
      {"The door is easy to open.", "Die Tür ist leicht zu öffnen."},
      {"The dog tries to open the door.", "Der Hund versucht, die Tür zu öffnen."},
      {"The cats try to see the dog.", "Die Katzen versuchen, den Hund zu sehen."},
      // Commands: after a phrase or a clause in front too; "click" takes "auf".
      {"Click the button.", "Klicken Sie auf die Schaltfläche."},
      {"Click on the button.", "Klicken Sie auf die Schaltfläche."},
      {"In the garden, click the button.", "Im Garten klicken Sie auf die Schaltfläche."},
      {"If the dog sleeps, open the door.", "Wenn der Hund schläft, öffnen Sie die Tür."},
      // A separable verb's command leaves its prefix at the end; "enter" a value is
      // "eingeben"; a verb's example is split into its verb and object.
      {"Buy a cup.", "Kaufen Sie eine Tasse ein."},
      {"Enter a question and click the button.",
       "Geben Sie eine Frage ein und klicken Sie auf die Schaltfläche."},
      {"Close the window.", "Schließen Sie das Fenster."},
      {"We make a cup.", "Wir machen eine Tasse."},
      // An object "it" takes the gender of the noun it stands for.
      {"I see the old dog and I see it.", "Ich sehe den alten Hund und ich sehe ihn."},
      {"I see the cat and play with it.", "Ich sehe die Katze und spiele mit ihr."},
      {"Open the door and see it.", "Öffnen Sie die Tür und sehen Sie sie."},
      // "through" a menu path is "über"; its entries are translated, each with a
      // capital, and stay in their place.
      {"We see the cat through Open → Cups.", "Wir sehen die Katze über Öffnen → Tassen."},
      // A spaced hyphen between capitalised words parts a menu path too, written
      // with German's dash; the command first in the sentence keeps its "Sie".
      {"Open Cups - Dogs - Door.", "Öffnen Sie Tassen – Hunde – Tür."},
      // Abbreviations are German's, their dots no clause's end.
      {"I see the cat, e.g. the house.", "Ich sehe die Katze, z. B. das Haus."},
      {"I see the cat, i.e. the house.", "Ich sehe die Katze, d. h. das Haus."},
      {"I see cats, dogs etc.", "Ich sehe Katzen, Hunde usw."},
      // The dots after the last entry are the entry's, where the verb cannot come.
      {"We can see the cat through Open → Cups….",
       "Wir können die Katze über Öffnen → Tassen… sehen."},
      {"The cat - the dog - sleeps.", "Die Katze - der Hund - schläft."},
      {"We see the cat through the door.", "Wir sehen die Katze durch die Tür."},
      // "see" before a title is a reference, inside a sentence too; "you see" stays.
      {"For the cats, see Gardens.", "Für die Katzen, siehe Gardens."},
      {"You see Gardens.", "Sie sehen Gardens."},
      // "before", "after", "once" and "until" with a subject and its verb start a
      // subordinate clause; a name may be the subject.
      {"Before the dog sleeps, open the door.", "Bevor der Hund schläft, öffnen Sie die Tür."},
      {"We play until the cat sleeps.", "Wir spielen, bis die Katze schläft."},
      {"If the dog sleeps, Tom opens the door.", "Wenn der Hund schläft, öffnet Tom die Tür."},
      // A verb after "and" shares the subject before it, and its clause's order.
      {"We see the cat and open the door.", "Wir sehen die Katze und öffnen die Tür."},
      {"If you see the cat and open the door, the dog sleeps.",
       "Wenn Sie die Katze sehen und die Tür öffnen, schläft der Hund."},
      // "want" is the polite "möchten".
      {"The cat wants to play.", "Die Katze möchte spielen."},
      {"Open the door that you want.", "Öffnen Sie die Tür, die Sie möchten."},
      // An adverb between the subject and its verb follows the verb; after a name it
      // shows a word that may be a noun ("plays") to be the verb, and so does an
      // article after it.
      {"The dog also sees the cat.", "Der Hund sieht auch die Katze."},
      {"The dog only sees the cat.", "Der Hund sieht nur die Katze."},
      {"GIMP also plays with the cat.", "GIMP spielt auch mit der Katze."},
      {"GIMP plays the dog.", "GIMP spielt den Hund."},
      // A reflexive verb with a direct object is the transitive one, without "sich".
      {"The dog turns.", "Der Hund dreht sich."},
      {"The dog turns the cup.", "Der Hund dreht die Tasse."},
      {"The dog also turns the cup.", "Der Hund dreht auch die Tasse."},
      {"You can turn the cup.", "Sie können die Tasse drehen."},
      {"The cup you want to turn is old.", "Die Tasse, die Sie drehen möchten, ist alt."},
      // A verb last leaves its "sich" after the subject.
      {"When the dog turns, open the door.", "Wenn der Hund sich dreht, öffnen Sie die Tür."},
      {"The cat sees the dogs which turn.", "Die Katze sieht die Hunde, die sich drehen."},
      // Only a counted measure loses its "of"; another noun keeps "von".
      {"I see the garden of old houses.", "Ich sehe den Garten von alten Häusern."},
      {"We see two cups of coffee.", "Wir sehen zwei Tassen Kaffee."},
      // A program's modes, and a difference that is no subtraction's.
      {"The cat sees two modes.", "Die Katze sieht zwei Modi."},
      {"We play with the old modes.", "Wir spielen mit den alten Modi."},
      // One clicks "here", "in" a place, or a button by its label.
      {"Click here.", "Klicken Sie hier."},
      {"Click in the garden.", "Klicken Sie im Garten."},
      {"Click Links.", "Klicken Sie auf Links."},
      // A document's template, words and tags, and the web.
      {"The cat opens the old template.", "Die Katze öffnet die alte Vorlage."},
      {"We see two words and the tags.", "Wir sehen zwei Wörter und die Tags."},
      {"I see the web.", "Ich sehe das Web."},
      {"We see the big difference.", "Wir sehen den großen Unterschied."},
      // A weak masculine noun ends in "-n" outside the nominative, alone and as the
      // last part of a compound.
      {"The name is old.", "Der Name ist alt."},
      {"I see the name of the cat.", "Ich sehe den Namen der Katze."},
      {"We play with a name.", "Wir spielen mit einem Namen."},
      {"The door of the cat name is big.", "Die Tür des Katzennamens ist groß."},
      // "this" or "that" with a verb after it is the subject; before a noun the article.
      {"This opens the name of the cat.", "Dies öffnet den Namen der Katze."},
      {"That also sees the dog.", "Das sieht auch den Hund."},
      {"This cat sees the dog.", "Diese Katze sieht den Hund."},
      // A program's name in capitals takes no article; "of" before it is "von".
      {"The GIMP opens the door.", "GIMP öffnet die Tür."},
      {"The cat of the GIMP sleeps.", "Die Katze von GIMP schläft."},
      {"I see the GIMP 2.", "Ich sehe GIMP 2."},
      // "here" or "there" alone in front puts the verb before the subject.
      {"Here, the dog sleeps.", "Hier schläft der Hund."},
      {"There, we see the cat.", "Dort sehen wir die Katze."},
      // "To" and a verb first in a sentence: the infinitive of purpose in front, or
      // alone; the main clause after it starts with its verb.
      {"To open the door, click the button.",
       "Um die Tür zu öffnen, klicken Sie auf die Schaltfläche."},
      {"To turn the cup, we play.", "Um die Tasse zu drehen, spielen wir."},
      {"To see the cat.", "Um die Katze zu sehen."},
      // Subordinators of several words start a subordinate clause too.
      {"As soon as the dog sleeps, we play.", "Sobald der Hund schläft, spielen wir."},
      {"We play even if the cat sleeps.", "Wir spielen, auch wenn die Katze schläft."},
      // "using" before a name or a number of things is "mit"; first in a sentence only
      // before a comma.
      {"We see it using Ctrl.", "Wir sehen es mit Strg."},
      {"Using GIMP, we see the cat.", "Mit GIMP sehen wir die Katze."},
      // "had to" is the past of "müssen"; a passive after "have to" or "need to" is
      // the participle and "werden" at the end.
      {"I had to open the door.", "Ich musste die Tür öffnen."},
      {"The door had to be removed.", "Die Tür musste entfernt werden."},
      {"The doors need to be removed today.", "Die Türen müssen heute entfernt werden."},
      // "may be" is what is possible ("können"); "be" and an -ing form after a modal is
      // the verb's infinitive; "be missing" is "fehlen".
      {"The door may be removed.", "Die Tür kann entfernt werden."},
      {"The dogs may be sleeping.", "Die Hunde können schlafen."},
      {"The cat will be playing.", "Die Katze wird spielen."},
      {"You may open the door.", "Sie dürfen die Tür öffnen."},
      {"The cups may be missing.", "Die Tassen können fehlen."},
      {"The cup is missing.", "Die Tasse fehlt."},
      // "Note that if ...": a colon, and the clause in front of the main clause, which
      // puts its verb first; "that" alone stays "dass".
      {"Note that if the dog sleeps, the cat plays.",
       "Beachten Sie: Wenn der Hund schläft, spielt die Katze."},
      {"Note that the dog sleeps.", "Beachten Sie, dass der Hund schläft."},
      // An infinitive that completes a clause in front leaves the main clause's verb
      // first.
      {"Because you try to play, the cat sleeps.",
       "Weil Sie versuchen, zu spielen, schläft die Katze."},
      // An -ing form with an object or a phrase after a noun: a relative clause.
      {"We see a dog playing with the cat.", "Wir sehen einen Hund, der mit der Katze spielt."},
      {"The dog seeing the cats is old.", "Der Hund, der die Katzen sieht, ist alt."},
      {"The cats seeing the dog can sleep.", "Die Katzen, die den Hund sehen, können schlafen."},
      // Participles of verbs with an inseparable prefix: a strong one as the dictionary
      // gives it, not the third person; a weak one with "-et" after "chn".
      {"The cats are described.", "Die Katzen werden beschrieben."},
      {"The cups are calculated.", "Die Tassen werden berechnet."},
      {"The dog calculates the cups.", "Der Hund berechnet die Tassen."},
      // After "be", a word with an adjective sense of its own is that adjective, but
      // with an agent or an instrument after it the passive.
      {"The door is marked.", "Die Tür ist merklich."},
      {"The door is marked with a cup.", "Die Tür wird mit einer Tasse markiert."},
      // Commands in a row, after a comma or "then", each with its "Sie".
      {"Open the door, then click the button.",
       "Öffnen Sie die Tür, dann klicken Sie auf die Schaltfläche."},
      {"Open the door, and then click the button.",
       "Öffnen Sie die Tür, und dann klicken Sie auf die Schaltfläche."},
      {"Open the door, see the cat and click the button.",
       "Öffnen Sie die Tür, sehen Sie die Katze und klicken Sie auf die Schaltfläche."},
      // A separable verb whose stem the dictionary has only with "sich".
      {"The dog inserts the cup.", "Der Hund fügt die Tasse ein."},
      {"Insert the cup.", "Fügen Sie die Tasse ein."},
      {"We want to insert the cup.", "Wir möchten die Tasse einfügen."},
      // A description without a subject goes on after "and" or "or" with its next verb.
      {"Opens the door and sees the cat.", "Öffnet die Tür und sieht die Katze."},
      {"Inserts a cup or opens the doors.", "Fügt eine Tasse ein oder öffnet die Türen."},
      {"We insert a cup and open the doors.", "Wir fügen eine Tasse ein und öffnen die Türen."},
      // A description's verb before a name or a value kept as it is.
      {"Plays GIMP with the cat.", "Spielt GIMP mit der Katze."},
      {"Plays TRUE if the dog sleeps.", "Spielt TRUE, wenn der Hund schläft."},
      // "Do not" and a verb: the command with "nicht" at the end of its clause, before
      // a separated prefix, or before the preposition German gives the object.
      {"Do not open the door.", "Öffnen Sie die Tür nicht."},
      {"Do not insert the cup.", "Fügen Sie die Tasse nicht ein."},
      {"Do not click on the button.", "Klicken Sie nicht auf die Schaltfläche."},
      {"Do not open the door if the dog sleeps.",
       "Öffnen Sie die Tür nicht, wenn der Hund schläft."},
      // A verb whose person object German gives in the dative.
      {"The cat allows the dog to play.", "Die Katze erlaubt dem Hund, zu spielen."},
      {"The cat helps the dogs.", "Die Katze hilft den Hunden."},
      // Keys by their German names: in a combination (whose other keys keep their
      // spelling), before "key", written with a capital inside a sentence, or where the
      // name is no English word.
      {"We see Shift+Ctrl+O.", "Wir sehen Umschalt+Strg+O."},
      {"We see Ctrl-O and Shift.", "Wir sehen Strg-O und Umschalt."},
      {"We see the shift.", "Wir sehen die Umschaltung."},
      {"Shift opens the door.", "Umschaltung öffnet die Tür."},
      {"We see the key I.", "Wir sehen die Taste I."},
      // A name before a noun: the noun first with the article, the name after it; a
      // name of one word is the first part of a compound.
      {"I see the Ctrl key.", "Ich sehe die Strg-Taste."},
      {"The Select All dialog opens the door.", "Der Dialog Select All öffnet die Tür."},
      {"I see the Select All dialog.", "Ich sehe den Dialog Select All."},
      {"The cat of the Select All dialog sleeps.", "Die Katze des Dialogs Select All schläft."},
      {"We play with the old Debian dialog.", "Wir spielen mit dem alten Debian-Dialog."},
      {"We play in Debian windows.", "Wir spielen in Debian-Fenstern."},
      {"The Debian window opens the door.", "Das Debian-Fenster öffnet die Tür."},
      {"I see the /etc/hosts window.", "Ich sehe das Fenster /etc/hosts."},
      {"The winbind window opens the door.", "Das winbind-Fenster öffnet die Tür."},
      // A name of several words alone: its article takes the gender of the German word
      // for its last word.
      {"We play with the Select All Window.", "Wir spielen mit dem Select All Window."},
      {"I see the Select All Door.", "Ich sehe die Select All Door."},
      // A name in quotation marks keeps them, after its noun.
      {"I see the \u201cSelect All\u201d dialog.", "Ich sehe den Dialog \u201eSelect All\u201c."},
      {"The \u201cDebian\u201d window opens the door.",
       "Das Fenster \u201eDebian\u201c öffnet die Tür."},
      {"I see the \u201cold\u201d dog.", "Ich sehe den \u201ealten\u201c Hund."},
      // An -ing form that German gives as its present participle is an adjective
      // before a noun.
      {"I see a sleeping cat.", "Ich sehe eine schlafende Katze."},
      {"We play with the sleeping old dogs.", "Wir spielen mit den schlafenden alten Hunden."},
      // A number before "of the": the genitive; "one" and "each" agree with the noun's
      // gender and take their own case.
      {"Two of the dogs sleep.", "Zwei der Hunde schlafen."},
      {"One of the houses is big.", "Eines der Häuser ist groß."},
      {"I see one of the dogs.", "Ich sehe einen der Hunde."},
      {"We play with each of the cats.", "Wir spielen mit jeder der Katzen."},
      {"I see one of them.", "Ich sehe einen von ihnen."},
      // "one" after an adjective stands for the noun before it, which German leaves out.
      {"The cat is the old one.", "Die Katze ist die alte."},
      {"The dog plays with the big ones.", "Der Hund spielt mit den großen."},
      // A noun's gender is the one most of its entries give.
      {"I see the folder.", "Ich sehe den Ordner."},
      // A sense the other words of the sentence choose: a drawn line is a "Linie".
      {"I see a dotted line.", "Ich sehe eine gestrichelte Linie."},
      {"The dotted lines are old.", "Die gestrichelten Linien sind alt."},
      {"I see the line.", "Ich sehe die Zeile."},
      {"We play with the paper folder.", "Wir spielen mit dem Ordner."},
      // "without" and "instead of" with an -ing form: an infinitive with "zu" after a
      // comma; "for" with one: "um ... zu", or the infinitive as a noun when nothing
      // follows ("zum Spielen"), but not after a thanks.
      {"We play without opening the door.", "Wir spielen, ohne die Tür zu öffnen."},
      {"The dog sleeps, without seeing the cat.", "Der Hund schläft, ohne die Katze zu sehen."},
      {"The dog sleeps without playing.", "Der Hund schläft, ohne zu spielen."},
      {"I see the cat without the dog.", "Ich sehe die Katze ohne den Hund."},
      {"The cat plays instead of sleeping.", "Die Katze spielt, anstatt zu schlafen."},
      {"The cup is good for opening the door.", "Die Tasse ist gut, um die Tür zu öffnen."},
      {"The cup is good for playing.", "Die Tasse ist gut zum Spielen."},
      {"The cup is good for playing in the garden.", "Die Tasse ist gut zum Spielen im Garten."},
      {"Thank you for playing.", "Danke fürs Spielen."},
      // In front of the sentence, too; a command may follow.
      {"Without seeing the cat, open the door.", "Ohne die Katze zu sehen, öffnen Sie die Tür."},
      {"Instead of sleeping, the cat plays.", "Anstatt zu schlafen, spielt die Katze."},
      // "to" and an infinitive after a name: a purpose, or what a verb before tells the
      // name to do.
      {"We use Debian to open the door.", "Wir verwenden Debian, um die Tür zu öffnen."},
      {"We allow Debian to open the door.", "Wir erlauben Debian, die Tür zu öffnen."},
      // An -ing form first in the sentence before its verb or a preposition is the
      // subject, the infinitive as a noun.
      {"Sleeping is good.", "Schlafen ist gut."},
      {"Playing with the cat is good.", "Spielen mit der Katze ist gut."},
      {"Playing opens the door.", "Spielen öffnet die Tür."},
      {"Seeing can help.", "Sehen kann helfen."},
      // "from" what holds a thing is "aus", from anything else "von".
      {"We choose a cat from the list.", "Wir wählen eine Katze aus der Liste."},
      {"I remove the dog from the old menu.", "Ich entferne den Hund aus dem alten Menü."},
      {"We remove two cats from a folder.", "Wir entfernen zwei Katzen aus einem Ordner."},
      {"I remove the dog from the window.", "Ich entferne den Hund vom Fenster."},
      // A dialog's tab is a "Register".
      {"The dog opens the tab.", "Der Hund öffnet das Register."},
      // A checked option is switched on, a state; anything else checked is examined.
      {"When the option is checked, the dog sleeps.",
       "Wenn die Option aktiviert ist, schläft der Hund."},
      {"We see the big options checked.", "Wir sehen die großen Optionen aktiviert."},
      {"The dog is checked.", "Der Hund wird geprüft."},
      // A strong verb with an inseparable prefix changes its vowel in the participle,
      // where the dictionary lists that form; "bereiten" is weak.
      {"The cat is clipped.", "Die Katze wird beschnitten."},
      {"The question is decided.", "Die Frage wird entschieden."},
      {"The cup is prepared.", "Die Tasse wird bereitet."},
      // "as" and a noun phrase: the case of what plays the role, the object where there
      // is one, else the subject; after "the same" it compares.
      {"The cat plays as a dog.", "Die Katze spielt als ein Hund."},
      {"The cat is used as the old dog.", "Die Katze wird als der alte Hund verwendet."},
      {"We use the cat as a dog.", "Wir verwenden die Katze als einen Hund."},
      {"We use it as a dog.", "Wir verwenden es als einen Hund."},
      {"We see the same dog as the cat.", "Wir sehen den gleichen Hund wie die Katze."},
      // A range is a "Bereich"; what one specifies one "legt fest".
      {"We see the old range.", "Wir sehen den alten Bereich."},
      {"The dog specifies the cup.", "Der Hund legt die Tasse fest."},
      // A separable verb's prefix follows the whole object, the phrases after "and"
      // with it.
      {"Specify the cat and the dog.", "Legen Sie die Katze und den Hund fest."},
      {"We buy a cup and a dog.", "Wir kaufen eine Tasse und einen Hund ein."},
      // Only a measure joins its "of" phrase without a preposition.
      {"We see a list of cats.", "Wir sehen eine Liste von Katzen."},
      {"I see a list of old dogs.", "Ich sehe eine Liste von alten Hunden."},
      // A double click and a right click as commands, alone, after a clause in front
      // and before another command.
      {"Double-click the button.", "Doppelklicken Sie auf die Schaltfläche."},
      {"Right-click the button.", "Klicken Sie mit der rechten Maustaste auf die Schaltfläche."},
      {"To open the door, right-click the button.",
       "Um die Tür zu öffnen, klicken Sie mit der rechten Maustaste auf die Schaltfläche."},
      {"Double-click the cat, or click the button.",
       "Doppelklicken Sie auf die Katze, oder klicken Sie auf die Schaltfläche."},
      // A command before a label, a menu path or a key by its name, where its verb is
      // no noun, or before a label in quotes.
      {"Choose Links.", "Wählen Sie Links."},
      {"Choose Garden – Menu.", "Wählen Sie Garten – Menü."},
      {"Choose \"Links\".", "Wählen Sie \"Links\"."},
      // A verb and its particle that the dictionary gives as one German verb stay one:
      // as a command, a finite verb and an infinitive.
      {"Carry out the list.", "Führen Sie die Liste aus."},
      {"We carry out the list.", "Wir führen die Liste aus."},
      {"To open the door, carry out the list.", "Um die Tür zu öffnen, führen Sie die Liste aus."},
      {"Click the button to carry out the list.",
       "Klicken Sie auf die Schaltfläche, um die Liste auszuführen."},
      // After a subject in the third person, "and" and a verb in "-s" before its object
      // is a second verb, whatever noun the word is too; at the end, a noun.
      {"The dog opens the door and prints it.", "Der Hund öffnet die Tür und druckt sie."},
      {"When the dog opens the door and prints it, the cat sleeps.",
       "Wenn der Hund die Tür öffnet und sie druckt, schläft die Katze."},
      {"The dog sees the doors and prints.", "Der Hund sieht die Türen und Drucke."},
      // A program or a menu is exited, "beendet".
      {"Exit the menu.", "Beenden Sie das Menü."},
      {"The dog exits the menu.", "Der Hund beendet das Menü."},
      // "unter" and the other prefixes that nothing splits off change the vowel as the
      // verb under them does.
      {"The dog interrupts the cat.", "Der Hund unterbricht die Katze."},
      {"Interrupts the list.", "Unterbricht die Liste."},
      // "no longer" is "nicht mehr", where German puts an adverb.
      {"The dog no longer sleeps.", "Der Hund schläft nicht mehr."},
      {"The dog is no longer old.", "Der Hund ist nicht mehr alt."},
      // "something" is the pronoun, in small letters inside the sentence.
      {"The dog sees something.", "Der Hund sieht etwas."},
      {"Something sleeps.", "Etwas schläft."},
      // A program's scripts, a window's pane.
      {"I see the old scripts.", "Ich sehe die alten Skripte."},
      {"We play in the pane.", "Wir spielen im Bereich."},
      // Nouns in a row are one compound outside the subject even where the last
      // could be a verb; in the subject that verb is the clause's.
      {"I see your window styles.", "Ich sehe Ihre Fensterstile."},
      {"We play with the window styles.", "Wir spielen mit den Fensterstilen."},
      {"The window styles the door.", "Das Fenster stylt die Tür."},
      // A genitive after a phrase before the subject.
      {"In the garden of the cat the dog sleeps.", "Im Garten der Katze schläft der Hund."},
      {"In the garden of the window of the cat the dog sleeps.",
       "Im Garten des Fensters der Katze schläft der Hund."},
      {"In the garden.", "Im Garten."},
      // "one or more" and "one or two" count a plural noun: "one" is the article of its
      // singular, in the phrase's case, and the phrase stays one subject.
      {"I see one or more cats.", "Ich sehe eine oder mehrere Katzen."},
      {"We play with one or two dogs.", "Wir spielen mit einem oder zwei Hunden."},
      {"One or more dogs sleep.", "Ein oder mehrere Hunde schlafen."},
      {"In the garden one or more cats sleep.", "Im Garten schlafen eine oder mehrere Katzen."},
      {"I see one dog or two cats.", "Ich sehe einen Hund oder zwei Katzen."},
      // A line's ends.
      {"I see the ends.", "Ich sehe die Enden."},
      // A computer's server and shell.
      {"The old server opens the shell.", "Der alte Server öffnet die Shell."},
      {"We play with the servers.", "Wir spielen mit den Servern."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TestDictionary().Translate(c.english, Dictionary::Direction::EnglishToGerman),
              c.german)
        << c.english;
  }
}

TEST(GermanGrammarTest, GermanToEnglish) {
  const struct {
    std::string_view german;
    std::string_view english;
  } cases[] = {
      {"Er schläft.", "He sleeps."},
      {"Du schläfst.", "You sleep."},
      {"Die Katzen spielen im Garten.", "The cats play in the garden."},
      {"Sie spielt.", "She plays."},
      {"Sie spielen.", "They play."},
      {"Ich sehe den alten Hund.", "I see the old dog."},
      {"Ich schlafe nicht.", "I do not sleep."},
      {"Er spielt nicht.", "He does not play."},
      {"Das Haus ist nicht groß.", "The house is not big."},
      {"Ich kann den Hund sehen.", "I can see the dog."},
      {"Ich möchte spielen.", "I would like to play."},
      {"Eine Tasse Kaffee, bitte.", "A cup of coffee, please."},
      {"Ich hätte gern eine Tasse Kaffee.", "I would like a cup of coffee."},
      {"Ich spiele gern.", "I like to play."},
      {"Heute spielt er im Garten.", "Today he plays in the garden."},
      {"Spielst du?", "Do you play?"},
      {"Ist das Haus groß?", "Is the house big?"},
      {"Das ist ein altes Haus.", "That is an old house."},
      {"Er spielt gut.", "He plays well."},
      // "werden" with a participle is the passive, with an infinitive the future; a
      // modal's passive infinitive "... werden" is "be ...".
      {"Die Katze wird gesehen.", "The cat is seen."},
      {"Die Türen werden im Garten geöffnet.", "The doors are opened in the garden."},
      {"Die Tür wird nicht geöffnet.", "The door is not opened."},
      {"Er wird spielen.", "He will play."},
      {"Der Hund konnte nicht gesehen werden.", "The dog could not be seen."},
      {"Die Tür kann heute geöffnet werden.", "The door can be opened today."},
      // Verb first with a capital "Sie" and no question mark: the polite imperative.
      {"Sehen Sie den Hund.", "See the dog."},
      {"Spielen Sie heute nicht im Garten.", "Do not play in the garden today."},
      {"Spielen Sie im Garten?", "Do you play in the garden?"},
      // Inside a sentence a capital "Sie" is "you".
      {"Ich spiele, wenn Sie spielen.", "I play if you play."},
      // An infinitive with "zu" at the end of its own clause leads it in English.
      {"Ich spiele, um den Hund zu sehen.", "I play to see the dog."},
      {"Er schläft, ohne die Tür zu öffnen.", "He sleeps without opening the door."},
      {"Es ist gut, heute im Garten zu spielen.", "It is good to play today in the garden."},
      {"Es ist gut, eine Katze einzukaufen.", "It is good to buy a cat."},
      // A separable verb's participle has its "ge" after the prefix.
      {"Die Katze wird eingekauft.", "The cat is bought."},
      {"Das Haus ist gut.", "The house is good."},
      // An article after a noun, before a feminine or plural noun, is the genitive;
      // before a masculine one it starts the subject or an object.
      {"Die Tür der Katze ist groß.", "The door of the cat is big."},
      {"Das Haus der alten Katzen ist groß.", "The house of the old cats is big."},
      {"Die Tür einer Katze ist alt.", "The door of a cat is old."},
      {"Im Haus schläft der Hund.", "In the house the dog sleeps."},
      // A relative clause's verb stands last; its pronoun is the subject unless
      // another phrase agrees with the verb or it follows a preposition.
      {"Die Katzen, die im Garten spielen, sind alt.", "The cats that play in the garden are old."},
      {"Das ist der Hund, den ich sehe.", "That is the dog that I see."},
      {"Das ist der Hund, der die Katzen sieht.", "That is the dog that sees the cats."},
      {"Das ist das Haus, in dem der Hund schläft.", "That is the house in which the dog sleeps."},
      {"Das ist die Tür, die heute geöffnet wurde.", "That is the door that was opened today."},
      // A subordinator or question word whose verb stands last.
      {"Ich schlafe, falls die Tür geöffnet wird.", "I sleep if the door is opened."},
      {"Ich sehe, welche Tür geöffnet wird.", "I see which door is opened."},
      {"Ich schlafe, wenn die Tür geöffnet werden kann.", "I sleep if the door can be opened."},
      // The plural of a verb in -ern or -eln is its infinitive.
      {"Sie erinnern.", "They remind."},
      // A separable verb's prefix at the end of a main clause joins the verb.
      {"Er kauft die Katze ein.", "He buys the cat."},
      {"Kaufen Sie heute eine Katze ein.", "Buy a cat today."},
      // A statement that starts with its verb, no pronoun after it, leaves its subject
      // out; after a clause, the verb first is the inverted order.
      {"Sieht die Katze.", "Sees the cat."},
      {"Wenn der Hund schläft, spielt die Katze.", "If the dog sleeps, the cat plays."},
      // "Sie" with a modal in the plural speaks to the reader.
      {"Sie können den Hund sehen.", "You can see the dog."},
      {"Sie kann den Hund sehen.", "She can see the dog."},
      {"Alle Katzen schlafen.", "All cats sleep."},
      // A verb's paraphrase ranks after a verb of its own.
      {"Wählen Sie die Katze.", "Choose the cat."},
      // "sich" after the verb is left out, and "lässt sich" with an infinitive is "can
      // be": the subject after it is still found.
      {"Die Tür lässt sich öffnen.", "The door can be opened."},
      {"Die Tür lässt sich heute nicht öffnen.", "The door can not be opened today."},
      {"Heute sieht sich die Katze im Garten.", "Today the cat sees in the garden."},
      // A participle the dictionary lists as an adjective makes the passive too.
      {"Die Tür wird verschlossen.", "The door is locked."},
      // A capital "Ihre" inside a sentence is "your".
      {"Ich sehe Ihre Katze.", "I see your cat."},
      {"Ich sehe ihre Katze.", "I see her cat."},
      // A question word first keeps the question's order.
      {"Wo ist der Hund?", "Where is the dog?"},
      {"Wo spielt die Katze?", "Where does the cat play?"},
      {"Kann die Katze den Hund sehen?", "Can the cat see the dog?"},
      {"Wo kann ich den Hund sehen?", "Where can I see the dog?"},
      // "wie" inside a clause compares.
      {"Das Haus ist so groß wie der Garten.", "The house is so big as the garden."},
      {"Ich sehe, wie die Katze spielt.", "I see how the cat plays."},
      // "sein" after a modal is "be"; a comparison may follow the verbs at the end.
      {"Die Tür muss geöffnet sein.", "The door must be opened."},
      {"Die Katze kann heute alt sein.", "The cat can be old today."},
      {"Die Tür wird heute geöffnet wie ein Fenster.", "The door is opened as a window today."},
      {"Die Tür wird wie ein Haus geöffnet.", "The door is opened as a house."},
      // "und" after a subordinate clause with a verb last goes on with it.
      {"Ich schlafe, wenn die Katze den Hund sieht und im Garten spielt.",
       "I sleep if the cat sees the dog and plays in the garden."},
      {"Das ist die Katze, die im Garten spielt und den Hund sieht.",
       "That is the cat that plays in the garden and sees the dog."},
      {"Ich schlafe, wenn die Katze oder der Hund spielt.", "I sleep if the cat or the dog plays."},
      // "verfügen über" is "have".
      {"Die Häuser verfügen über einen Garten.", "The houses have a garden."},
      // Only a measure takes "of" before a noun; another noun is named by it.
      {"Ich sehe den Dialog Ebenen.", "I see the dialog layers."},
      // "über" after a noun is its topic, before the accusative or a name the way,
      // before the dative the place.
      {"Er sieht Informationen über das Menü.", "He sees information about the menu."},
      {"Er sieht die Tür über das Menü.", "He sees the door through the menu."},
      {"Er sieht die Tür über Fenster.", "He sees the door through windows."},
      {"Die Katze schläft über dem Hund.", "The cat sleeps above the dog."},
      // A verb of motion or change makes its perfect with "sein": "has occurred"; a
      // participle of another verb after "sein" is a state.
      {"Ein Fehler ist aufgetreten.", "An error has occurred."},
      {"Ist ein Fehler heute aufgetreten?", "Has an error occurred today?"},
      {"Ein Fehler ist nicht aufgetreten.", "An error has not occurred."},
      {"Die Tür ist verschlossen.", "The door is locked."},
      // An abbreviation's dots end no clause: the verb after it still joins its own.
      {"Ich kann z. B. die Katze sehen.", "I can see e.g. the cat."},
      {"Ich kann die Katze bzw. den Hund sehen.", "I can see the cat or the dog."},
      {"Ich sehe Katzen, Hunde usw.", "I see cats, dogs etc."},
      // A small word before a noun is no noun: "linken" is "linke", not "Link".
      {"Ich sehe die linken Häuser.", "I see the left houses."},
      {"Ich sehe den Link.", "I see the link."},
      // "bei" is "with" (the dictionary's first sense, "near", manuals hardly mean).
      {"Die Katze schläft bei dem Hund.", "The cat sleeps with the dog."},
      // A comma between digits is a decimal point, which ends no clause.
      {"Ich sehe 2,5 Katzen.", "I see 2.5 cats."},
      {"Um den Hund 1,5 zu sehen.", "To see the dog 1.5."},
      // German key names are the English ones.
      {"Ich sehe Strg und Umschalt.", "I see Ctrl and Shift."},
      // In a combination every key keeps its name: "Alt" is no "old", "O" no "oh".
      {"Ich sehe Strg+O und Strg+Alt+Entf.", "I see Ctrl+O and Ctrl+Alt+Del."},
      {"Ich sehe Alt und O.", "I see old and oh."},
      // The items of a menu path are names: verbs in their base form, with capitals.
      {"Ich sehe Ebene → Öffnen.", "I see Layer → Open."},
      {"Öffnen Sie Haus → Ebene → Öffnen.", "Open House → Layer → Open."},
      // A word before a noun after an article, a verb or "und" in a list is an
      // adjective, even where it is a verb's form too; after a noun it is the verb.
      {"Ich sehe den grünen Garten.", "I see the green garden."},
      {"Die grünen Katzen schlafen.", "The green cats sleep."},
      {"Ich sehe grüne Katzen.", "I see green cats."},
      {"Ich sehe den alten und grünen Garten.", "I see the old and green garden."},
      {"Die Gärten grünen.", "The gardens vegetate."},
      // "es gibt" is "there is" or "there are" by what follows; a question keeps its
      // order.
      {"Es gibt Katzen im Garten.", "There are cats in the garden."},
      {"Es gibt einen Hund.", "There is a dog."},
      {"Gibt es Katzen im Garten?", "Are there cats in the garden?"},
      {"Heute gibt es einen Hund.", "Today there is a dog."},
      // "eine", "eines" without a noun of its own is "one"; "eines" before one the
      // genitive.
      {"Ich sehe eines der Häuser.", "I see one of the houses."},
      {"Ich sehe eine oder zwei Katzen.", "I see one or two cats."},
      {"Die Tür eines Hauses ist alt.", "The door of a house is old."},
      {"Die Tür eines alten Hauses ist alt.", "The door of an old house is old."},
      // "sie" after its verb and subject is an object: "them" after a plural noun,
      // else "it"; as the subject it stays.
      {"Die Katzen schlafen, und ich sehe sie.", "The cats sleep, and I see them."},
      {"Der Hund sieht sie.", "The dog sees it."},
      {"Ich schlafe, wenn sie schläft.", "I sleep if she sleeps."},
      // "und" and "oder" between two noun phrases start no clause: the separable
      // verb's prefix after them still finds its verb. After a verb, or before one of
      // their own, they do.
      {"Ich kaufe den Hund und die Katze ein.", "I buy the dog and the cat."},
      {"Ich kaufe den Hund oder die Katze ein.", "I buy the dog or the cat."},
      {"Ich schlafe und die Katze spielt.", "I sleep and the cat plays."},
      {"Die Tür wird geöffnet und die Katze spielt.", "The door is opened and the cat plays."},
      // An infinitive as a noun after "beim" or "zum" is an -ing form, its genitive a
      // plain object.
      {"Die Katze schläft beim Spielen.", "The cat sleeps when playing."},
      {"Ich sehe den Hund zum Öffnen der Tür.", "I see the dog for opening the door."},
      // A first word the dictionary knows only as a noun is the verb when the prefix
      // at the end makes a verb of it.
      {"Fügen Sie eine Katze hinzu.", "Add a cat."},
      {"Fügt eine Tür hinzu.", "Adds a door."},
      {"Fügen Sie eine oder zwei Katzen hinzu.", "Add one or two cats."},
      // Words that frame two parts: "sowohl ... als auch", "zwar ... aber".
      {"Ich sehe sowohl den Hund als auch die Katze.", "I see both the dog and the cat."},
      {"Der Hund ist zwar alt, aber er spielt.", "The dog is old, but it plays."},
      // Words in brackets or quotes inside a clause hide none of its verbs.
      {"Ich kann den Hund (die Katze) sehen.", "I can see the dog (the cat)."},
      {"Ich schlafe, wenn der Hund (alt) schläft.", "I sleep if the dog (old) sleeps."},
      {"Ich kann das Haus \"Garten\" sehen.", "I can see the house \"garden\"."},
      // Guillemets are no part of the word they enclose; a word left out after one
      // takes no blank before what follows.
      {"Der Hund ist »alt«.", "The dog is “old”."},
      {"Ich kann den Hund »Garten« sehen.", "I can see the dog “garden”."},
      {"Ich kann den Hund (»Garten«) sehen.", "I can see the dog (“garden”)."},
      // The dative ending "-em" of an adjective the rules do not know.
      {"Ich spiele mit folgendem Hund.", "I play with following dog."},
      // An adjective without an ending before a verb or a participle tells how; before
      // "sein" or a noun it stays.
      {"Die Tür wird automatisch geöffnet.", "The door is opened automatically."},
      {"Die Katze kann einfach spielen.", "The cat can play simply."},
      {"Die Katze kann einfach sein.", "The cat can be simple."},
      {"Ich sehe einfache Katzen.", "I see simple cats."},
      // First in the sentence before its finite verb too.
      {"Einfach kann die Katze spielen.", "Simply the cat can play."},
      {"Einfach spielt die Katze.", "Simply the cat plays."},
      // What a manual's German "gibt ein" its English "enters", though the dictionary
      // offers only "type in".
      {"Geben Sie eine Frage ein.", "Enter a question."},
      {"Die Katze gibt eine Frage ein.", "The cat enters a question."},
      // A capital "Sie" first in a sentence is the reader where the verb and its
      // object speak to one; else a group.
      {"Sie finden den Hund im Garten.", "You find the dog in the garden."},
      {"Sie haben zwei Möglichkeiten.", "You have two possibilities."},
      {"Sie haben zwei Katzen.", "They have two cats."},
      {"Sie sehen den Hund im Garten.", "They see the dog in the garden."},
      // A strong verb's present that the dictionary lists as "es gilt", or only
      // without the prefix ("gibt": "ergibt").
      {"Das gilt für die Katze.", "That applies for the cat."},
      {"Das ergibt eine Katze.", "That results in a cat."},
      {"Ergibt eine Katze.", "Results in a cat."},
      // A common strong verb's present whose entry lists no forms, and with a prefix.
      {"Die Katze nimmt den Hund.", "The cat takes the dog."},
      {"Die Katze übernimmt den Garten.", "The cat takes over the garden."},
      // "an" before the accusative is where something goes; before the dative, and
      // "den" before a plural, where something is.
      {"Die Katze schickt den Hund an die Tür.", "The cat sends the dog to the door."},
      {"Ich schicke die Katze an den Garten.", "I send the cat to the garden."},
      {"Die Katze spielt an der Tür.", "The cat plays at the door."},
      {"Die Katze spielt an den Türen.", "The cat plays at the doors."},
      // A strong verb's participle that the dictionary lists with its English one.
      {"Ich schlafe, wenn der Hund gefunden wird.", "I sleep if the dog is found."},
      // A word of quantity starts a subject as an article does.
      {"Wenn der Hund schläft, werden alle Katzen gesehen.",
       "If the dog sleeps, all cats are seen."},
      {"Im Garten spielen alle Katzen.", "In the garden all cats play."},
      {"Ich schlafe, wenn das eine Katze ergibt.", "I sleep if that results in a cat."},
      // "er", "sie" and their possessives for a thing are "it", "its"; "ihr" for a
      // plural is "their", first in a sentence with no owner before it the reader's.
      // A person in reach keeps the person's pronoun.
      {"Wenn die Katze schläft, wird sie gesehen.", "If the cat sleeps, it is seen."},
      {"Der Dialog ist neu. Er ist groß.", "The dialog is new. It is big."},
      {"Der Freund sieht den Dialog. Er ist müde.", "The friend sees the dialog. He is tired."},
      {"Das Fenster sieht sein Menü.", "The window sees its menu."},
      {"Die Ebene sieht ihr Menü.", "The layer sees its menu."},
      {"Die Frau sieht ihr Fenster.", "The woman sees her window."},
      // A noun whose plural is the same form is singular after "der" with no noun
      // before it, and after a singular possessive.
      {"Der Lehrer sieht den Dialog.", "The teacher sees the dialog."},
      {"Ich sehe die Menüs der Fenster.", "I see the menus of the windows."},
      // "den" or "meinen" before a noun without the dative plural's "n" is singular.
      {"Ich sehe den Fehler.", "I see the error."},
      {"Ich sehe meinen Lehrer.", "I see my teacher."},
      {"Ich sehe die Fehler.", "I see the errors."},
      // A masculine noun with the same plural right after a noun is that plural's
      // genitive.
      {"Ich sehe die Liste der Fehler.", "I see the list of the errors."},
      {"Die Liste der Fehler sieht den Hund.", "The list of the errors sees the dog."},
      {"Die Katzen sehen ihre Häuser.", "The cats see their houses."},
      {"Ihr Fenster ist groß.", "Your window is big."},
      // "nicht mehr" is "no longer"; "müssen" with "nicht" is no duty, not a ban.
      {"Ich spiele nicht mehr.", "I no longer play."},
      {"Ich kann den Hund nicht mehr sehen.", "I can no longer see the dog."},
      {"Ich muss den Hund nicht sehen.", "I do not have to see the dog."},
      {"Die Katze muss nicht mehr spielen.", "The cat no longer has to play."},
      {"Die Katze muss spielen.", "The cat must play."},
      // "als" after a comparative compares, with the verbs that end the clause between
      // them too; a time adverb that compares stays.
      {"Der Hund ist älter als die Katze.", "The dog is older than the cat."},
      {"Ich schlafe, wenn der Hund älter sein kann als die Katze.",
       "I sleep if the dog can be older than the cat."},
      {"Der Hund muss später als heute spielen.", "The dog must play later than today."},
      {"Ich sehe den Hund als Katze.", "I see the dog as cat."},
      // Dashes between capitalised words part a menu path where a sentence has two
      // or more; one dash is prose's.
      {"Wählen Sie Menü – Haus – Öffnen.", "Choose Menu – House – Open."},
      {"Die Katze – der Hund – spielt.", "The cat – the dog – plays."},
      // "je ... umso", "je ... desto": "the ... the".
      {"Je älter der Hund, umso älter die Katze.", "The older the dog, the older the cat."},
      // An adjective before an article or a preposition tells how ("spielt automatisch
      // im Garten"); after "sein" it stays what something is.
      {"Der Hund spielt automatisch im Garten.", "The dog plays automatically in the garden."},
      {"Der Hund ist alt im Garten.", "The dog is old in the garden."},
      // "statt" at the end is a separable prefix; a preposition and a noun at the end
      // may make a verb with it as well.
      {"Die Katze gibt dem Hund statt.", "The cat grants the dog."},
      {"Die Katze nimmt den Hund in Anspruch.", "The cat claims the dog."},
      // Subjects joined by "und" take a plural verb.
      {"Der Hund und die Katze spielen im Garten.", "The dog and the cat play in the garden."},
      {"Der Hund und die Katze sind alt.", "The dog and the cat are old."},
      // "Bitte" before the polite imperative; "wie" with the word it asks about; "das"
      // with no noun after it is "that".
      {"Bitte sehen Sie den Hund.", "Please see the dog."},
      {"Wie alt ist der Hund?", "How old is the dog?"},
      {"Wo spielt das nicht?", "Where does that not play?"},
      {"Ich sehe das.", "I see that."},
      {"Ich sehe das nicht.", "I do not see that."},
      {"Das Haus ist alt.", "The house is old."},
      // A sentence's first clause asks what the sentence asks, a clause after it or
      // not; a dictionary phrase that ends in a participle is one.
      {"Sehen Sie den Hund, wenn die Katze spielt?", "Do you see the dog if the cat plays?"},
      {"Das Haus wird neu geladen.", "The house is reloaded."},
      // A question puts the first word of its verb group before the subject, the rest
      // after it; "würde gern" and "möchte gern" are "would like (to)".
      {"Möchtest du einen Kaffee?", "Would you like a coffee?"},
      {"Möchtest du spielen?", "Would you like to play?"},
      {"Spielst du gern?", "Do you like to play?"},
      {"Ich würde gern spielen.", "I would like to play."},
      {"Ich möchte gern einen Kaffee.", "I would like a coffee."},
      // "-er" after "ein" or "kein" is an ending, elsewhere the comparative.
      {"Ein schneller Hund spielt.", "A fast dog plays."},
      {"Der Hund ist schneller.", "The dog is faster."},
      // A strong verb's participle with its own vowel makes the passive, after "ge"
      // or an inseparable prefix.
      {"Der Hund wird genommen.", "The dog is taken."},
      {"Der Garten wird übernommen.", "The garden is taken over."},
      // Clauses German says in set words of its own.
      {"Es tut mir leid.", "I am sorry."},
      {"Keine Ahnung.", "No idea."},
      // An abbreviation's dot before a bracket is its own.
      {"Ich sehe die Katze (den Hund usw.).", "I see the cat (the dog etc.)."},
      // Pairs of words read together.
      {"Ich sehe ein paar Katzen.", "I see a few cats."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TestDictionary().Translate(c.german, Dictionary::Direction::GermanToEnglish),
              c.english)
        << c.german;
  }
}

// Quotation marks become the target language's; an apostrophe and straight quotes
// stay, and a closing mark that could be something else changes only after its
// opening one.
TEST(GermanGrammarTest, QuotationMarksOfTheTargetLanguage) {
  using Direction = Dictionary::Direction;
  const struct {
    Direction direction;
    std::string_view source;
    std::string_view expected;
  } cases[] = {
      {Direction::EnglishToGerman, "The “house” is big.", "Das „Haus“ ist groß."},
      {Direction::EnglishToGerman, "The ‘house’ is big.", "Das ‚Haus‘ ist groß."},
      {Direction::EnglishToGerman, "The house” is big.", "Das Haus“ ist groß."},
      {Direction::EnglishToGerman, "The house’ is \"big\".", "Das Haus’ ist \"groß\"."},
      {Direction::GermanToEnglish, "Das „Haus“ ist groß.", "The “house” is big."},
      {Direction::GermanToEnglish, "Das »Haus« ist groß.", "The “house” is big."},
      {Direction::GermanToEnglish, "Das «Haus» ist groß.", "The “house” is big."},
      {Direction::GermanToEnglish, "Das ‚Haus‘ ist groß.", "The ‘house’ is big."},
      {Direction::GermanToEnglish, "Das “Haus” ist groß.", "The “house” is big."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TestDictionary().Translate(c.source, c.direction), c.expected) << c.source;
  }
}

TEST(GermanGrammarTest, WithoutGrammarWordByWord) {
  // The lookup alone: each word's first sense, no agreement.
  EXPECT_EQ(
      TestDictionary().Translate("the cat sleeps", Dictionary::Direction::EnglishToGerman, false),
      "der Katze schläft");
  EXPECT_EQ(TestDictionary().Translate("the cat sleeps", Dictionary::Direction::EnglishToGerman),
            "die Katze schläft");
}

TEST(GermanGrammarTest, UnknownWordsAndPunctuationStay) {
  EXPECT_EQ(TestDictionary().Translate("The Zorglub sleeps, the cat plays!\n",
                                       Dictionary::Direction::EnglishToGerman),
            "Der Zorglub schläft, die Katze spielt!\n");
  EXPECT_EQ(TestDictionary().Translate("", Dictionary::Direction::GermanToEnglish), "");
  EXPECT_EQ(TestDictionary().Translate("...", Dictionary::Direction::GermanToEnglish), "...");
}

}  // namespace
}  // namespace parlumo::service
