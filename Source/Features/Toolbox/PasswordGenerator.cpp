#include "Source/Features/Toolbox/PasswordGenerator.h"

#include "Platform/Core/RawValues.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace PasswordGenerator {

namespace {

constexpr RawValues::Entry<Style> styleRawValues[]{
    {Style::memorable, "memorable"},
    {Style::random, "random"},
    {Style::passphrase, "passphrase"},
    {Style::numeric, "numeric"},
};

const QString kConsonants = QStringLiteral("bcdfghjkmnpqrstvwxyz");  // no "l"
const QString kVowels = QStringLiteral("aeiou");
const QString kDigits = QStringLiteral("23456789");  // no 0 and no 1
const QString kLetters = QStringLiteral("abcdefghijkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ");  // no l, I, O
const QString kSymbols = QStringLiteral("!@#$%^&*-_=+");

const char* const kWordText =
    "актёр акула алмаз апрель арбуз архив астра атлас бархат башня берег бисер благо блеск "
    "бобёр бокал болото борщ бочка бревно бронза брошь брызги будни буква букет буран бусы "
    "ветер вечер визит вилка вихрь вкус власть влага вода возраст волна ворон восток время "
    "вулкан выбор газета галстук гамма гараж гвоздь гений герой гитара глина гнездо гора гость "
    "гравий гроза группа груша глобус дверь движение декабрь дельта день десерт диван диск "
    "доклад долина дорога доска дрозд дружба дуб дупло дыня жажда железо жемчуг живот журнал "
    "забор завод загадка закат замок запад заряд звезда земля зеркало зима злак знак золото "
    "зонт зубр икра индиго искра июль кабель какао камень канал капля карта касса катер кедр "
    "кисть клавиша клен клубок ключ книга ковер колесо кольцо комета корабль корень космос кофе "
    "кран крепость круг крыло куб кувшин культура курс лаванда лагерь ландыш ластик лебедь "
    "лента лес лето линза липа лист лодка луна лужа лыжи магнит майор маска мачта медведь мель "
    "мера металл метель мечта мир мозаика молния монета море мороз мост мотор муза мысль набор "
    "награда надежда народ невод неон нефть ниша новость нота облако обувь овраг огонь озеро "
    "окно олень опера орбита орех осень остров отвага отель очаг падуб палуба память папка "
    "парад парус песня печать пирог письмо плавник план планета плита плот площадь победа "
    "повесть погода подкова поезд полдень поле полюс порт поток почва право призма приют проба "
    "прогулка простор профиль пруд пульс пурга радуга развитие разум ракета рассвет расчёт "
    "ребус регион редис река рельеф ремень рецепт рифма родник рожь роса рубин ручей рынок "
    "рябина сабля садовник сажень салют самбо свеча свет свод связка север сегмент секунда "
    "сектор семья сентябрь сеть сила символ синица система скала сквер склон слива слово случай "
    "смена смола снег сокол солнце сон сосна спектр спорт среда ставка сталь станок стая "
    "стебель степь стиль столб стрела струна стужа сумка сфера схема сцена счёт таблица тайга "
    "такт талант танец тарелка театр тембр тень терем тесто тетрадь тигр тираж толк томат топор "
    "торг точка трава тракт транс труба тростник туман тундра туча тыква тюльпан удача узел "
    "укроп улитка улица уран урожай усадьба устье утро ущелье фаза факел фарфор ферма фигура "
    "фильтр финал фиалка флаг флейта фокус фонарь форма фраза фрегат фрукт хвоя химия хлеб холм "
    "хор храм хребет цапля цвет цемент центр цепь цикл цифра чайка чары часы чердак череда "
    "чертёж честь чеснок число чтение чудо шайба шалаш шапка шарф шахта шелест шёлк шифр шкала "
    "шляпа шорох шпиль штиль штурм щавель щегол щедрость щётка эклер экран эпоха эскиз этаж "
    "эфир юбилей юмор юрта ябеда яблоко ягода якорь ямб январь янтарь ярмарка ясень яхта ячмень";

QChar pick(const QString& alphabet, Random& random) {
    return alphabet.at(qsizetype(random.integer(0, alphabet.size() - 1)));
}

QString pickString(const QString& alphabet, qint64 count, Random& random) {
    QString out;
    out.reserve(qsizetype(count));
    for (qint64 i = 0; i < count; ++i) out.append(pick(alphabet, random));
    return out;
}

// Consonant, vowel, consonant, consonant, vowel, consonant.
QString syllable(Random& random) {
    QString group;
    for (const QString* alphabet : {&kConsonants, &kVowels, &kConsonants, &kConsonants, &kVowels, &kConsonants})
        group.append(pick(*alphabet, random));
    return group;
}

QString replacing(const QString& text, qsizetype offset, QChar with) {
    if (offset < 0 || offset >= text.size()) return text;
    QString out = text;
    out[offset] = with;
    return out;
}

QString memorable(const Options& options, Random& random) {
    const qint64 n = lengthRange(Style::memorable).clamp(options.length);
    QStringList groups;
    for (qint64 i = 0; i < n; ++i) groups.append(syllable(random));
    if (options.includeDigit) {
        const auto g = qsizetype(random.integer(0, n - 1));
        const auto p = qsizetype(random.integer(0, 5));
        groups[g] = replacing(groups[g], p, pick(kDigits, random));
    }
    if (options.includeCapital) {
        QList<qsizetype> order;
        for (qsizetype i = 0; i < n; ++i) order.append(i);
        for (qsizetype i = order.size() - 1; i > 0; --i) order.swapItemsAt(i, qsizetype(random.integer(0, i)));
        for (qsizetype g : order) {
            const QString& group = groups[g];
            const auto letter = std::find_if(group.begin(), group.end(), [](QChar c) { return c.isLetter(); });
            if (letter == group.end()) continue;
            const qsizetype at = letter - group.begin();
            groups[g] = replacing(group, at, group.at(at).toUpper());
            break;
        }
    }
    return groups.join(QLatin1Char('-'));
}

QString randomCharacters(const Options& options, Random& random) {
    const QString pool = options.includeSymbol ? kLetters + kDigits + kSymbols : kLetters + kDigits;
    return pickString(pool, lengthRange(Style::random).clamp(options.length), random);
}

QString passphrase(const Options& options, Random& random) {
    const QStringList& words = wordList();
    const qint64 n = lengthRange(Style::passphrase).clamp(options.length);
    QStringList chosen;
    for (qint64 i = 0; i < n; ++i) chosen.append(words.at(qsizetype(random.integer(0, words.size() - 1))));
    if (options.includeCapital) chosen[0] = chosen[0].left(1).toUpper() + chosen[0].mid(1).toLower();
    QString out = chosen.join(QLatin1Char('-'));
    if (options.includeDigit) out.append(pick(kDigits, random));
    return out;
}

}  // namespace

QString rawValue(Style style) { return RawValues::rawValue(styleRawValues, style); }

std::optional<Style> styleFromRawValue(const QString& raw) { return RawValues::fromRawValue(styleRawValues, raw); }

LengthRange lengthRange(Style style) {
    switch (style) {
    case Style::memorable: return {2, 6};
    case Style::random: return {8, 64};
    case Style::passphrase: return {3, 8};
    case Style::numeric: return {4, 12};
    }
    return {0, 0};
}

const QStringList& wordList() {
    static const QStringList words =
        QString::fromUtf8(kWordText).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    return words;
}

QString generate(const Options& options, Random& random) {
    switch (options.style) {
    case Style::memorable: return memorable(options, random);
    case Style::random: return randomCharacters(options, random);
    case Style::passphrase: return passphrase(options, random);
    case Style::numeric: return pickString(kDigits, lengthRange(Style::numeric).clamp(options.length), random);
    }
    return {};
}

double entropyBits(const Options& options) {
    const auto n = double(lengthRange(options.style).clamp(options.length));
    switch (options.style) {
    case Style::memorable: {
        const double c = double(kConsonants.size()), v = double(kVowels.size());
        return n * std::log2(c * c * c * c * v * v);
    }
    case Style::random: {
        const qsizetype pool = kLetters.size() + kDigits.size() + (options.includeSymbol ? kSymbols.size() : 0);
        return n * std::log2(double(pool));
    }
    case Style::passphrase: return n * std::log2(double(wordList().size()));
    case Style::numeric: return n * std::log2(double(kDigits.size()));
    }
    return 0;
}

}  // namespace PasswordGenerator
