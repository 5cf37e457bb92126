// Goods files in the browser: the CSV of the Python command line (a header
// row code;barcode;price;name;group;quantity, RFC 4180 quoting) and the
// fixed-width PLU text of the console utility. Values are kept as the file
// gives them; the table's checks mark what the register cannot keep.

import { FIELDS } from "./rules.js";

export class FileFormatError extends Error {}

// The text of a file's bytes: UTF-8 when they are well-formed UTF-8, else
// Windows-1251; a UTF-8 byte-order mark is skipped.
export function decodeBytes(bytes) {
    let text;
    try {
        text = new TextDecoder("utf-8", { fatal: true }).decode(bytes);
    } catch (e) {
        text = new TextDecoder("windows-1251").decode(bytes);
    }
    return text.startsWith("\ufeff") ? text.slice(1) : text;
}

export function looksLikeCsv(fileName, text) {
    if (/\.csv$/i.test(fileName)) {
        return true;
    }
    return /^\s*"?code"?\s*[;,]/i.test(text);
}

// The records of a CSV text, each an array of fields, with the line each
// starts on.
function csvRecords(text, separator) {
    const records = [];
    let fields = [];
    let field = "";
    let quoted = false;
    let line = 1;
    let start = 1;
    let i = 0;
    while (i < text.length) {
        const c = text[i];
        if (quoted) {
            if (c === '"' && text[i + 1] === '"') {
                field += '"';
                i += 2;
                continue;
            }
            if (c === '"') {
                quoted = false;
            } else {
                if (c === "\n") {
                    line += 1;
                }
                field += c;
            }
            i += 1;
            continue;
        }
        if (c === '"' && field === "") {
            quoted = true;
        } else if (c === separator) {
            fields.push(field);
            field = "";
        } else if (c === "\r" && text[i + 1] === "\n") {
            // The CR of a CR LF.
        } else if (c === "\n") {
            fields.push(field);
            records.push({ line: start, fields });
            fields = [];
            field = "";
            line += 1;
            start = line;
        } else if (c === '"') {
            throw new FileFormatError("строка " + line + ": кавычка внутри поля без кавычек");
        } else {
            field += c;
        }
        i += 1;
    }
    if (quoted) {
        throw new FileFormatError("строка " + start + ": кавычка не закрыта");
    }
    if (field !== "" || fields.length > 0) {
        fields.push(field);
        records.push({ line: start, fields });
    }
    return records;
}

export function parseCsv(text, separator = ";") {
    const records = csvRecords(text, separator);
    if (records.length === 0) {
        throw new FileFormatError("файл пуст");
    }
    const header = records[0].fields.map((name) => name.trim().toLowerCase());
    const missing = FIELDS.filter((name) => !header.includes(name));
    if (missing.length > 0) {
        throw new FileFormatError("строка 1: в заголовке нет " + missing.join(", "));
    }
    const rows = [];
    for (const record of records.slice(1)) {
        if (record.fields.every((value) => value.trim() === "")) {
            continue;
        }
        if (record.fields.length !== header.length) {
            throw new FileFormatError("строка " + record.line + ": полей " + record.fields.length + " вместо " +
                header.length);
        }
        const row = {};
        for (const name of FIELDS) {
            row[name] = record.fields[header.indexOf(name)];
        }
        row.barcode = row.barcode.trim();
        rows.push(row);
    }
    return rows;
}

export function parsePlu(text, separator = ";") {
    const rows = [];
    text.split("\n").forEach((raw, index) => {
        const line = raw.replace(/\r/g, "");
        if (line.trim() === "") {
            return;
        }
        const parts = line.split(separator);
        if (parts.length < 6) {
            throw new FileFormatError("строка " + (index + 1) + ": полей " + parts.length + " вместо 6");
        }
        // The sixth field is the rest of the line.
        const fields = parts.slice(0, 5).concat([parts.slice(5).join(separator)]);
        rows.push({
            code: fields[0].trim(),
            barcode: fields[1].trim(),
            price: fields[2].trim(),
            name: fields[3].replace(/ +$/, ""),
            group: fields[4].trim(),
            quantity: fields[5].trim(),
        });
    });
    return rows;
}

function csvField(value) {
    const text = String(value);
    return /[;"\r\n]/.test(text) ? '"' + text.replace(/"/g, '""') + '"' : text;
}

function fixed(text, decimals) {
    const found = /^(\d+)(?:[.,](\d*))?$/.exec(String(text).trim());
    if (!found) {
        return String(text).trim();
    }
    return found[1] + "." + (found[2] || "").padEnd(decimals, "0").slice(0, decimals);
}

// The CSV the Python command line reads: UTF-8, ";", CR LF.
export function csvText(rows) {
    const lines = [FIELDS.join(";")];
    for (const row of rows) {
        lines.push([
            String(row.code).trim(),
            String(row.barcode || "").trim(),
            fixed(row.price, 2),
            String(row.name || "").replace(/ +$/, ""),
            String(row.group).trim(),
            fixed(row.quantity, 3),
        ].map(csvField).join(";"));
    }
    return lines.join("\r\n") + "\r\n";
}
