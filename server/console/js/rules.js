// The checks of a goods table as the user types, with the rules the service
// gives (GET /api/v1/goods/rules) or, from a service without them, the same
// rules built in. The service's own check stays the final word.

export const FIELDS = ["code", "barcode", "price", "name", "group", "quantity"];
export const FIELD_TITLES = {
    code: "Код",
    barcode: "Штрихкод",
    price: "Цена",
    name: "Название",
    group: "Группа",
    quantity: "Количество",
};

function range(from, to) {
    let text = "";
    for (let c = from; c <= to; c += 1) {
        text += String.fromCodePoint(c);
    }
    return text;
}

export const DEFAULT_RULES = {
    maxGoods: 4000,
    nameLength: 16,
    barcodeLength: 13,
    priceMax: "4294967295",
    quantityMax: "4294967.295",
    quantityDecimals: 3,
    groupMax: 255,
    // Printable ASCII, the letters Windows-1251 keeps at 0x80..0x84, Ё, ё
    // and А..я: what the register gives back as it was sent.
    nameCharacters: range(0x20, 0x7e) + "\u0402\u0403\u201a\u0453\u201e\u0401\u0451" + range(0x410, 0x44f),
};

export function makeRules(given) {
    const rules = Object.assign({}, DEFAULT_RULES, given || {});
    rules.nameSet = new Set(Array.from(String(rules.nameCharacters)));
    return rules;
}

const WHOLE = /^\d+$/;
const DECIMAL = /^(\d+)(?:[.,](\d*))?$/;

// The number of thousandths (or 10^decimals) of a decimal text, as a
// BigInt, or null when it is not such a number or has more decimals.
function scaled(text, decimals) {
    const found = DECIMAL.exec(text);
    if (!found) {
        return null;
    }
    const fraction = (found[2] || "").replace(/0+$/, "");
    if (fraction.length > decimals) {
        return null;
    }
    return BigInt(found[1]) * 10n ** BigInt(decimals) + BigInt(fraction.padEnd(decimals, "0") || "0");
}

// The reason a cell's text cannot be written, or "" when it can.
export function checkCell(field, value, rules) {
    const text = String(value === undefined || value === null ? "" : value).trim();
    switch (field) {
    case "code": {
        if (!WHOLE.test(text)) {
            return "Код — целое число от 1 до " + rules.maxGoods;
        }
        const code = Number(text);
        return code >= 1 && code <= rules.maxGoods ? "" : "Код — от 1 до " + rules.maxGoods;
    }
    case "barcode": {
        const raw = String(value || "");
        if (Array.from(raw).length > rules.barcodeLength) {
            return "Штрихкод длиннее " + rules.barcodeLength + " символов";
        }
        return /^[\x20-\x7e]*$/.test(raw) ? "" : "Штрихкод: только латинские буквы, цифры и знаки";
    }
    case "price": {
        const units = scaled(text, 2);
        if (text === "" || units === null) {
            return "Цена — число, например 52 или 52.00";
        }
        if (units % 100n !== 0n) {
            return "Цена — в целых рублях: копеек ККМ не хранит";
        }
        return units / 100n <= BigInt(rules.priceMax) ? "" : "Цена больше " + rules.priceMax;
    }
    case "name": {
        const name = String(value || "").replace(/ +$/, "");
        const characters = Array.from(name);
        if (characters.length > rules.nameLength) {
            return "Название длиннее " + rules.nameLength + " символов (" + characters.length + ")";
        }
        const wrong = characters.find((c) => !rules.nameSet.has(c));
        return wrong === undefined ? "" : "Символ «" + wrong + "» ККМ не хранит";
    }
    case "group": {
        if (!WHOLE.test(text)) {
            return "Группа — целое число от 0 до " + rules.groupMax;
        }
        return Number(text) <= rules.groupMax ? "" : "Группа — от 0 до " + rules.groupMax;
    }
    case "quantity": {
        const amount = scaled(text, rules.quantityDecimals);
        if (text === "" || amount === null) {
            return "Количество — число, не больше " + rules.quantityDecimals + " знаков после точки";
        }
        const max = scaled(String(rules.quantityMax), rules.quantityDecimals);
        return max === null || amount <= max ? "" : "Количество больше " + rules.quantityMax;
    }
    default:
        return "";
    }
}

// Every problem of the table: a Map from "row:field" (row counted from 0)
// to its reason. Codes must be 1..N of an N-row table, each once.
export function checkTable(rows, rules) {
    const problems = new Map();
    if (rows.length > rules.maxGoods) {
        problems.set("0:code", "В таблице больше " + rules.maxGoods + " товаров");
    }
    const seen = new Map();
    rows.forEach((row, index) => {
        for (const field of FIELDS) {
            const reason = checkCell(field, row[field], rules);
            if (reason) {
                problems.set(index + ":" + field, reason);
            }
        }
        const codeText = String(row.code).trim();
        if (problems.has(index + ":code")) {
            return;
        }
        const code = Number(codeText);
        if (seen.has(code)) {
            problems.set(index + ":code", "Код " + code + " уже есть в строке " + (seen.get(code) + 1));
        } else if (code > rows.length) {
            problems.set(index + ":code",
                "Коды идут подряд от 1 до " + rows.length + ": код " + code + " оставит пропуск");
        } else {
            seen.set(code, index);
        }
    });
    return problems;
}

// The goods as the service takes them.
export function toJson(row) {
    return {
        code: Number(String(row.code).trim()),
        barcode: String(row.barcode || "").trim(),
        price: String(row.price).trim().replace(",", "."),
        name: String(row.name || "").replace(/ +$/, ""),
        group: Number(String(row.group).trim()),
        quantity: String(row.quantity).trim().replace(",", "."),
    };
}

// A row of strings from the service's goods JSON.
export function fromJson(item) {
    return {
        code: String(item.code === undefined ? "" : item.code),
        barcode: String(item.barcode || "").trim(),
        price: String(item.price === undefined ? "" : item.price),
        name: String(item.name || ""),
        group: String(item.group === undefined ? "" : item.group),
        quantity: String(item.quantity === undefined ? "" : item.quantity),
    };
}

// Two texts of the same number are the same value ("52" and "52.00").
export function sameValue(field, a, b) {
    const x = String(a === undefined ? "" : a).trim();
    const y = String(b === undefined ? "" : b).trim();
    if (field === "price" || field === "quantity" || field === "code" || field === "group") {
        const sx = scaled(x.replace(",", "."), 3);
        const sy = scaled(y.replace(",", "."), 3);
        if (sx !== null && sy !== null) {
            return sx === sy;
        }
    }
    if (field === "name") {
        return String(a || "").replace(/ +$/, "") === String(b || "").replace(/ +$/, "");
    }
    return x === y;
}
