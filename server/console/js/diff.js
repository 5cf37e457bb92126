// The difference between the register's table (as last read) and the one
// in the page, row by row on the goods code.

import { FIELDS, sameValue } from "./rules.js";

export function difference(before, after) {
    const old = new Map();
    for (const row of before) {
        old.set(String(row.code).trim(), row);
    }
    const added = [];
    const changed = [];
    const kept = new Set();
    for (const row of after) {
        const code = String(row.code).trim();
        const was = old.get(code);
        if (!was || kept.has(code)) {
            added.push(row);
            continue;
        }
        kept.add(code);
        const fields = FIELDS.filter((field) => !sameValue(field, was[field], row[field]));
        if (fields.length > 0) {
            changed.push({ row, was, fields });
        }
    }
    const removed = before.filter((row) => !kept.has(String(row.code).trim()));
    return { added, changed, removed };
}
