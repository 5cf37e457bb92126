// A register's goods table: read, edit in place with the checks as you
// type, import a file as a difference against the register's table, write,
// clear; each job with its progress and a way to stop it.

import { json, request, runJob, ApiError, randomKey } from "./api.js";
import { confirmBySerial } from "./dialogs.js";
import { el, replace, say } from "./dom.js";
import { difference } from "./diff.js";
import { csvText, decodeBytes, looksLikeCsv, parseCsv, parsePlu, FileFormatError } from "./files.js";
import { DEFAULT_RULES, FIELDS, FIELD_TITLES, checkCell, checkTable, fromJson, makeRules, sameValue, toJson } from
    "./rules.js";
import { showHistory, showSnapshots } from "./history.js";

const NUMERIC = new Set(["code", "price", "group", "quantity"]);
const DIFF_LIST_LIMIT = 50;
const PROBLEM_LIST_LIMIT = 20;

let nextUid = 1;

function withUid(row) {
    const copy = Object.assign({}, row);
    copy.uid = nextUid;
    nextUid += 1;
    return copy;
}

function compareRows(field, a, b) {
    if (NUMERIC.has(field)) {
        const x = Number(String(a[field]).replace(",", "."));
        const y = Number(String(b[field]).replace(",", "."));
        if (!Number.isNaN(x) && !Number.isNaN(y) && x !== y) {
            return x - y;
        }
    }
    return String(a[field]).localeCompare(String(b[field]), "ru");
}

function jobPositionText(job) {
    return job.max > 0 ? job.position + " из " + job.max : String(job.position || 0);
}

export function showGoods(main, registerId) {
    const page = {
        id: registerId,
        base: "/api/v1/registers/" + encodeURIComponent(registerId),
        rules: makeRules(DEFAULT_RULES),
        serial: "",
        register: null, // the register's table as last read or written
        rows: [],
        problems: new Map(), // "uid:field" -> reason
        serverProblems: new Map(),
        sortField: "code",
        sortUp: true,
        search: "",
        job: null,
        busy: false,
        cells: new Map(), // "uid:field" -> td
    };

    // --- the page's parts ---------------------------------------------------
    const title = el("h1", { text: "Касса " + registerId });
    const properties = el("p", { class: "properties", text: "Свойства читаются…" });
    const readButton = el("button", { type: "button", text: "Прочитать из ККМ" });
    const writeButton = el("button", { type: "button", class: "primary", text: "Записать в ККМ", disabled: true });
    const clearButton = el("button", { type: "button", class: "danger", text: "Очистить ККМ" });
    const fileInput = el("input", { type: "file", id: "import-file", accept: ".csv,.txt,.plu,text/csv,text/plain",
        class: "visually-hidden", "aria-label": "Файл для импорта" });
    const importButton = el("button", { type: "button", text: "Импорт файла" });
    const exportButton = el("button", { type: "button", text: "Экспорт CSV", disabled: true });
    const addButton = el("button", { type: "button", text: "Добавить строку", disabled: true });
    const revertButton = el("button", { type: "button", text: "Отменить изменения", disabled: true });
    const progress = el("progress", { id: "job-progress", max: 1, value: 0, "aria-label": "Ход задания" });
    const progressText = el("span", { class: "progress-text", "aria-live": "polite" });
    const stopButton = el("button", { type: "button", class: "danger", text: "Остановить" });
    const progressBox = el("div", { class: "progress", hidden: true }, progress, progressText, stopButton);
    const status = el("p", { id: "status", class: "message", role: "status", "aria-live": "polite", hidden: true });
    const diffBox = el("section", { id: "difference", class: "difference", hidden: true,
        "aria-label": "Отличия от ККМ" });
    const problemBox = el("section", { id: "problems", class: "problems", hidden: true,
        "aria-label": "Ошибки в таблице" });
    const searchInput = el("input", { type: "search", id: "goods-search", placeholder: "Код, штрихкод или название" });
    const counts = el("span", { id: "counts", class: "counts", "aria-live": "polite" });
    const headRow = el("tr");
    const body = el("tbody");
    const table = el("table", { id: "goods", class: "goods" },
        el("caption", { class: "visually-hidden", text: "Товары кассы " + registerId }),
        el("thead", {}, headRow), body);
    const dropZone = el("div", { class: "drop-zone", text: "Перетащите сюда файл CSV (UTF-8 или Windows-1251) " +
        "или PLU — он будет показан как отличия от таблицы ККМ." });
    const snapshots = el("section", { id: "snapshots", "aria-labelledby": "snapshots-title" });
    const history = el("section", { id: "history", "aria-labelledby": "history-title" });

    const root = el("div", { class: "goods-page" });
    replace(main, root);
    replace(root,
        el("p", {}, el("a", { href: "#/", text: "← Все кассы" })),
        title, properties,
        el("div", { class: "toolbar", role: "toolbar", "aria-label": "Действия с таблицей" },
            readButton, writeButton, clearButton, importButton, fileInput, exportButton, addButton, revertButton),
        progressBox, status, diffBox, problemBox,
        el("div", { class: "search" },
            el("label", { for: "goods-search", text: "Поиск" }), searchInput, counts),
        dropZone,
        el("div", { class: "table-box" }, table),
        snapshots, history);
    document.title = "Товары кассы " + registerId + " — Zarvik-12M";

    // --- checks and marks ---------------------------------------------------
    function rowKey(row, field) {
        return row.uid + ":" + field;
    }

    function recheck() {
        const byIndex = checkTable(page.rows, page.rules);
        page.problems = new Map();
        for (const [key, reason] of byIndex) {
            const [index, field] = key.split(":");
            const row = page.rows[Number(index)];
            if (row) {
                page.problems.set(rowKey(row, field), reason);
            }
        }
        for (const [key, reason] of page.serverProblems) {
            if (!page.problems.has(key)) {
                page.problems.set(key, reason);
            }
        }
        refreshMarks();
        refreshSummary();
        refreshButtons();
    }

    function reasonOf(row, field) {
        return page.problems.get(rowKey(row, field)) || "";
    }

    function registerRowsByCode() {
        const map = new Map();
        for (const row of page.register || []) {
            map.set(String(row.code).trim(), row);
        }
        return map;
    }

    function markCell(td, row, field, before) {
        const reason = reasonOf(row, field);
        td.classList.toggle("bad", Boolean(reason));
        const was = before ? before[field] : undefined;
        td.classList.toggle("changed", Boolean(before) && !sameValue(field, was, row[field]));
        let note = td.querySelector(".reason");
        if (reason) {
            if (!note) {
                note = el("span", { class: "reason" });
                td.appendChild(note);
            }
            note.textContent = reason;
            td.title = reason;
        } else {
            if (note) {
                note.remove();
            }
            td.removeAttribute("title");
        }
    }

    function refreshMarks() {
        const before = registerRowsByCode();
        for (const tr of body.children) {
            const row = tr.row;
            if (!row) {
                continue;
            }
            const was = page.register ? before.get(String(row.code).trim()) : null;
            tr.classList.toggle("added", Boolean(page.register) && !was);
            let bad = false;
            for (const field of FIELDS) {
                const td = page.cells.get(rowKey(row, field));
                if (td) {
                    markCell(td, row, field, was);
                    bad = bad || td.classList.contains("bad");
                }
            }
            tr.classList.toggle("bad", bad);
        }
    }

    function refreshButtons() {
        const loaded = page.register !== null;
        writeButton.disabled = page.busy || !loaded || page.problems.size > 0;
        writeButton.title = page.problems.size > 0 ? "Сначала исправьте ошибки в таблице" : "";
        readButton.disabled = page.busy;
        clearButton.disabled = page.busy;
        importButton.disabled = page.busy;
        exportButton.disabled = !loaded;
        addButton.disabled = page.busy || !loaded;
        revertButton.disabled = page.busy || !loaded || !changedFromRegister();
    }

    function changedFromRegister() {
        if (!page.register) {
            return false;
        }
        const d = difference(page.register, page.rows);
        return d.added.length + d.changed.length + d.removed.length > 0;
    }

    function rowText(row) {
        return "код " + row.code + " «" + row.name + "», цена " + row.price + ", количество " + row.quantity;
    }

    function diffList(titleText, items, describe, kind) {
        if (items.length === 0) {
            return null;
        }
        const shown = items.slice(0, DIFF_LIST_LIMIT);
        return el("details", { class: "diff-" + kind, open: items.length <= 10 },
            el("summary", { text: titleText + ": " + items.length }),
            el("ul", {}, shown.map((item) => el("li", { text: describe(item) }))),
            items.length > shown.length ? el("p", { text: "…и ещё " + (items.length - shown.length) }) : null);
    }

    function refreshSummary() {
        const total = page.rows.length;
        const shown = body.children.length;
        counts.textContent = "Товаров: " + total + (shown !== total ? ", показано: " + shown : "") +
            (page.problems.size > 0 ? ", ошибок: " + page.problems.size : "");
        if (page.register) {
            const d = difference(page.register, page.rows);
            const any = d.added.length + d.changed.length + d.removed.length > 0;
            diffBox.hidden = !any;
            if (any) {
                replace(diffBox,
                    el("h2", { text: "Отличия от ККМ" }),
                    el("p", { id: "difference-counts",
                        text: "Добавлено: " + d.added.length + ", изменено: " + d.changed.length +
                            ", удалено: " + d.removed.length }),
                    diffList("Добавлено", d.added, rowText, "added"),
                    diffList("Изменено", d.changed, (c) => "код " + c.row.code + " «" + c.row.name + "»: " +
                        c.fields.map((f) => FIELD_TITLES[f] + " " + c.was[f] + " → " + c.row[f]).join("; "),
                    "changed"),
                    diffList("Удалено", d.removed, rowText, "removed"));
            }
        } else {
            diffBox.hidden = true;
        }
        problemBox.hidden = page.problems.size === 0;
        if (page.problems.size > 0) {
            const index = new Map(page.rows.map((row, i) => [row.uid, i]));
            const items = [];
            for (const [key, reason] of page.problems) {
                const [uid, field] = key.split(":");
                const i = index.get(Number(uid));
                items.push({ i, field, reason });
            }
            items.sort((a, b) => a.i - b.i);
            replace(problemBox,
                el("h2", { text: "Ошибки: " + items.length + ". «Записать в ККМ» недоступно, пока они есть." }),
                el("ul", {}, items.slice(0, PROBLEM_LIST_LIMIT).map((p) => el("li", {
                    text: "Строка " + (p.i + 1) + " (код " + (page.rows[p.i] ? page.rows[p.i].code : "?") + "), " +
                        FIELD_TITLES[p.field] + ": " + p.reason,
                }))));
        }
    }

    // --- the table ----------------------------------------------------------
    function renderHead() {
        replace(headRow, FIELDS.map((field) => {
            const active = page.sortField === field;
            const button = el("button", { type: "button", class: "sort", text: FIELD_TITLES[field] +
                (active ? (page.sortUp ? " ▲" : " ▼") : "") });
            button.addEventListener("click", () => {
                page.sortUp = page.sortField === field ? !page.sortUp : true;
                page.sortField = field;
                renderHead();
                renderBody();
            });
            return el("th", { scope: "col", "data-field": field,
                "aria-sort": active ? (page.sortUp ? "ascending" : "descending") : "none" }, button);
        }), el("th", { scope: "col" }, el("span", { class: "visually-hidden", text: "Удалить" })));
    }

    function visibleRows() {
        const needle = page.search.trim().toLowerCase();
        let rows = page.rows;
        if (needle) {
            rows = rows.filter((row) => String(row.code).includes(needle) ||
                String(row.barcode).toLowerCase().includes(needle) || String(row.name).toLowerCase().includes(needle));
        } else {
            rows = rows.slice();
        }
        rows.sort((a, b) => (page.sortUp ? 1 : -1) * compareRows(page.sortField, a, b));
        return rows;
    }

    function cellText(td, row, field) {
        replace(td, el("span", { class: "value", text: String(row[field]) }));
    }

    function renderBody() {
        page.cells = new Map();
        const fragment = document.createDocumentFragment();
        for (const row of visibleRows()) {
            const tr = el("tr", { "data-code": String(row.code) });
            tr.row = row;
            for (const field of FIELDS) {
                const td = el("td", { tabindex: 0, "data-field": field, class: "cell cell-" + field });
                cellText(td, row, field);
                td.addEventListener("keydown", (event) => {
                    if ((event.key === "Enter" || event.key === "F2") && event.target === td) {
                        event.preventDefault();
                        startEdit(td, row, field);
                    }
                });
                td.addEventListener("dblclick", () => startEdit(td, row, field));
                page.cells.set(rowKey(row, field), td);
                tr.appendChild(td);
            }
            const remove = el("button", { type: "button", class: "remove", text: "✕",
                "aria-label": "Удалить строку с кодом " + row.code });
            remove.addEventListener("click", () => deleteRow(row));
            tr.appendChild(el("td", {}, remove));
            fragment.appendChild(tr);
        }
        replace(body, fragment);
        refreshMarks();
        refreshSummary();
    }

    function startEdit(td, row, field) {
        if (page.busy) {
            return;
        }
        const before = row[field];
        const input = el("input", { type: "text", value: before, class: "edit",
            "aria-label": FIELD_TITLES[field] + ", код " + row.code });
        input.value = before;
        replace(td, input);
        let done = false;
        const finish = (keep) => {
            if (done) {
                return;
            }
            done = true;
            if (!keep) {
                row[field] = before;
            }
            page.serverProblems.delete(rowKey(row, field));
            cellText(td, row, field);
            recheck();
        };
        input.addEventListener("input", () => {
            row[field] = input.value;
            page.serverProblems.delete(rowKey(row, field));
            recheck();
            // The reason follows the text as it is typed.
            const reason = checkCell(field, input.value, page.rules) || reasonOf(row, field);
            input.setAttribute("aria-invalid", reason ? "true" : "false");
            input.title = reason;
        });
        input.addEventListener("keydown", (event) => {
            if (event.key === "Enter") {
                event.preventDefault();
                event.stopPropagation();
                finish(true);
                td.focus();
            } else if (event.key === "Escape") {
                event.preventDefault();
                event.stopPropagation();
                finish(false);
                td.focus();
            }
        });
        input.addEventListener("blur", () => finish(true));
        input.focus();
        input.select();
    }

    function deleteRow(row) {
        page.rows = page.rows.filter((r) => r !== row);
        renderBody();
        recheck();
    }

    function addRow() {
        const codes = page.rows.map((row) => Number(row.code)).filter((c) => Number.isFinite(c));
        const code = codes.length ? Math.max(...codes) + 1 : 1;
        const row = withUid({ code: String(code), barcode: "", price: "0", name: "", group: "1", quantity: "0.000" });
        page.rows.push(row);
        page.search = "";
        searchInput.value = "";
        renderBody();
        recheck();
        const td = page.cells.get(rowKey(row, "name"));
        if (td) {
            td.scrollIntoView({ block: "nearest" });
            startEdit(td, row, "name");
        }
    }

    function setTables(registerRows, rows) {
        page.register = registerRows ? registerRows.map((row) => Object.assign({}, row)) : null;
        page.rows = rows.map(withUid);
        page.serverProblems = new Map();
        renderBody();
        recheck();
    }

    // --- jobs ---------------------------------------------------------------
    function startProgress(text) {
        page.busy = true;
        page.job = null;
        progress.max = 1;
        progress.value = 0;
        progress.removeAttribute("value");
        progressText.textContent = text;
        stopButton.disabled = true;
        progressBox.hidden = false;
        refreshButtons();
    }

    function endProgress() {
        page.busy = false;
        page.job = null;
        progressBox.hidden = true;
        refreshButtons();
        refreshOthers();
    }

    function onStarted(job) {
        page.job = job.id;
        stopButton.disabled = false;
    }

    function progressOf(verb) {
        return (job) => {
            if (job.max > 0) {
                progress.max = job.max;
                progress.value = job.position;
            }
            progressText.textContent = job.state === "queued" ? "Ждёт своей очереди…" :
                verb + ": " + jobPositionText(job);
        };
    }

    function failureText(what, job) {
        // "Чтение" is neuter; "Запись", "Очистка" are feminine.
        const neuter = what.endsWith("е");
        if (job.state === "cancelled") {
            return what + (neuter ? " остановлено" : " остановлена") + " на товаре " + jobPositionText(job) + ".";
        }
        if (job.state === "interrupted") {
            return what + (neuter ? " прервано" : " прервана") + ": служба была остановлена.";
        }
        return what + (neuter ? " не удалось: " : " не удалась: ") +
            (job.error ? job.error.message : "служба не объяснила почему");
    }

    function showRefused(error) {
        const problems = (error.body && error.body.problems) || [];
        if (error.status === 422 && problems.length > 0) {
            page.serverProblems = new Map();
            for (const p of problems) {
                const row = page.rows[p.row - 1];
                if (row && FIELDS.includes(p.field)) {
                    page.serverProblems.set(rowKey(row, p.field), p.message);
                }
            }
            recheck();
            say(status, "Служба не приняла таблицу, ошибок: " + problems.length + ". Ничего не отправлено.", "error");
        } else {
            say(status, error.message, "error");
        }
    }

    async function read() {
        startProgress("Чтение из ККМ…");
        say(status, "");
        try {
            const job = await runJob("GET", page.base + "/goods", {}, onStarted, progressOf("Прочитано"));
            if (job.state === "succeeded") {
                const goods = ((job.result && job.result.goods) || []).map(fromJson);
                setTables(goods, goods);
                say(status, "Прочитано товаров: " + goods.length + ".", "ok");
                return true;
            }
            const kept = job.state === "cancelled" ? " Таблица в странице не изменена." : "";
            say(status, failureText("Чтение", job) + kept, "error");
        } catch (e) {
            say(status, "Чтение не удалось: " + e.message, "error");
        } finally {
            endProgress();
        }
        return false;
    }

    async function write() {
        if (page.problems.size > 0) {
            return;
        }
        const goods = page.rows.map(toJson);
        startProgress("Запись в ККМ…");
        say(status, "");
        try {
            const job = await runJob("PUT", page.base + "/goods", {
                body: { goods }, headers: { "Idempotency-Key": randomKey() },
            }, onStarted, progressOf("Записано"));
            if (job.state === "succeeded") {
                const written = job.result && job.result.written !== undefined ? job.result.written : goods.length;
                page.register = page.rows.map((row) => Object.assign({}, row));
                recheck();
                say(status, "Записано в ККМ товаров: " + written + ".", "ok");
            } else {
                say(status, failureText("Запись", job) + (job.state === "cancelled" || job.state === "failed"
                    ? " В ККМ может быть записана часть таблицы: прочитайте её, чтобы увидеть, что в ней." : ""),
                "error");
            }
        } catch (e) {
            if (e instanceof ApiError) {
                showRefused(e);
            } else {
                say(status, "Запись не удалась: " + e.message, "error");
            }
        } finally {
            endProgress();
        }
    }

    async function loadSerial() {
        try {
            const detail = await json("GET", page.base + "?wait=10");
            if (detail.properties) {
                const p = detail.properties;
                page.serial = String(p.serialNumber);
                if (p.maxGoods > 0) {
                    page.rules.maxGoods = Math.min(page.rules.maxGoods, p.maxGoods);
                }
                properties.textContent = p.deviceName + ", заводской номер " + p.serialNumber + ", товаров до " +
                    p.maxGoods + "; линия " + detail.port + ", " + detail.baud + " бод";
            } else {
                properties.textContent = "Свойства не прочитаны: " +
                    (detail.error ? detail.error.message : "касса занята");
            }
        } catch (e) {
            properties.textContent = "Свойства не прочитаны: " + e.message;
        }
    }

    async function clearRegister() {
        if (!page.serial) {
            await loadSerial();
        }
        if (!page.serial) {
            say(status, "Заводской номер ККМ не прочитан: очистка невозможна, пока касса не ответит.", "error");
            return;
        }
        if (!(await confirmBySerial(page.id, page.serial))) {
            return;
        }
        startProgress("Очистка ККМ…");
        say(status, "");
        try {
            const job = await runJob("DELETE", page.base + "/goods", { headers: { "Idempotency-Key": randomKey() } },
                onStarted, progressOf("Очищено"));
            if (job.state === "succeeded") {
                setTables([], []);
                say(status, "ККМ очищена: товаров в ней нет.", "ok");
            } else {
                say(status, failureText("Очистка", job), "error");
            }
        } catch (e) {
            say(status, "Очистка не удалась: " + e.message, "error");
        } finally {
            endProgress();
        }
    }

    // --- files --------------------------------------------------------------
    async function serverCheck(bytes, csv) {
        try {
            const answer = await request("POST", "/api/v1/goods/check", {
                body: bytes, contentType: csv ? "text/csv" : "application/x-zarvik12m-plu",
            });
            return answer;
        } catch (e) {
            return null;
        }
    }

    async function importFile(file) {
        if (page.busy || !file) {
            return;
        }
        say(status, "Разбирается файл «" + file.name + "»…");
        let rows;
        let checked = null;
        try {
            const bytes = new Uint8Array(await file.arrayBuffer());
            const text = decodeBytes(bytes);
            const csv = looksLikeCsv(file.name, text);
            checked = await serverCheck(bytes, csv);
            if (checked && checked.status === 400) {
                const given = checked.body && checked.body.error ? checked.body.error.message : "";
                throw new FileFormatError(given || "файл не разобран");
            }
            rows = csv ? parseCsv(text) : parsePlu(text);
        } catch (e) {
            say(status, "Файл «" + file.name + "» не прочитан: " + e.message + ". Ничего не изменено.", "error");
            return;
        }
        if (page.register === null && !(await read())) {
            return;
        }
        setTables(page.register, rows);
        if (checked && checked.status === 200 && checked.body && Array.isArray(checked.body.problems)) {
            for (const p of checked.body.problems) {
                const row = page.rows[p.row - 1];
                if (row && FIELDS.includes(p.field)) {
                    page.serverProblems.set(rowKey(row, p.field), p.message);
                }
            }
            recheck();
        }
        const d = difference(page.register, page.rows);
        say(status, "Файл «" + file.name + "»: товаров " + rows.length + "; добавлено " + d.added.length +
            ", изменено " + d.changed.length + ", удалено " + d.removed.length +
            (page.problems.size > 0 ? ". Есть ошибки — исправьте их до записи."
                : ". Проверьте и нажмите «Записать в ККМ»."),
        page.problems.size > 0 ? "error" : "ok");
    }

    function exportCsv() {
        const blob = new Blob([csvText(page.rows)], { type: "text/csv;charset=utf-8" });
        const link = el("a", { href: URL.createObjectURL(blob), download: "goods-" + page.id + ".csv" });
        document.body.appendChild(link);
        link.click();
        link.remove();
        setTimeout(() => URL.revokeObjectURL(link.href), 10000);
    }

    // --- history and snapshots ----------------------------------------------
    function refreshOthers() {
        showHistory(history, page.id);
        showSnapshots(snapshots, page, {
            restore: restoreSnapshot,
            busy: () => page.busy,
        });
    }

    async function restoreSnapshot(snapshot) {
        startProgress("Восстановление снимка…");
        say(status, "");
        try {
            const job = await runJob("POST", page.base + "/snapshots/" + encodeURIComponent(snapshot.id) + "/restore",
                { headers: { "Idempotency-Key": randomKey() } }, onStarted, progressOf("Записано"));
            if (job.state === "succeeded") {
                const saved = await json("GET", page.base + "/snapshots/" + encodeURIComponent(snapshot.id));
                const goods = (saved.goods || []).map(fromJson);
                setTables(goods, goods);
                say(status, "Снимок от " + snapshot.created + " записан в ККМ, товаров: " + goods.length + ".", "ok");
            } else {
                say(status, failureText("Восстановление", job), "error");
            }
        } catch (e) {
            const problems = (e.body && e.body.problems) || [];
            say(status, "Снимок не восстановлен: " + e.message +
                problems.slice(0, 5).map((p) => "; " + p.message).join(""), "error");
        } finally {
            endProgress();
        }
    }

    // --- wiring -------------------------------------------------------------
    readButton.addEventListener("click", read);
    writeButton.addEventListener("click", write);
    clearButton.addEventListener("click", clearRegister);
    importButton.addEventListener("click", () => fileInput.click());
    fileInput.addEventListener("change", () => {
        const file = fileInput.files[0];
        fileInput.value = "";
        importFile(file);
    });
    exportButton.addEventListener("click", exportCsv);
    addButton.addEventListener("click", addRow);
    revertButton.addEventListener("click", () => {
        setTables(page.register, page.register);
        say(status, "Изменения отменены: таблица как в ККМ.", "ok");
    });
    stopButton.addEventListener("click", async () => {
        if (!page.job) {
            return;
        }
        stopButton.disabled = true;
        progressText.textContent = "Останавливается…";
        try {
            await json("DELETE", "/api/v1/jobs/" + encodeURIComponent(page.job));
        } catch (e) {
            say(status, "Задание не остановлено: " + e.message, "error");
        }
    });
    searchInput.addEventListener("input", () => {
        page.search = searchInput.value;
        renderBody();
    });
    for (const target of [root]) {
        target.addEventListener("dragover", (event) => {
            event.preventDefault();
            dropZone.classList.add("over");
        });
        target.addEventListener("dragleave", () => dropZone.classList.remove("over"));
        target.addEventListener("drop", (event) => {
            event.preventDefault();
            dropZone.classList.remove("over");
            const files = event.dataTransfer ? event.dataTransfer.files : null;
            if (files && files.length > 0) {
                importFile(files[0]);
            }
        });
    }

    renderHead();
    renderBody();
    refreshButtons();
    refreshOthers();
    loadSerial();
    json("GET", "/api/v1/goods/rules").then((given) => {
        const maxGoods = Math.min(given.maxGoods || DEFAULT_RULES.maxGoods, page.rules.maxGoods);
        page.rules = makeRules(Object.assign({}, given, { maxGoods }));
        recheck();
    }, () => {
        // An older service: the built-in rules stay.
    });
}
