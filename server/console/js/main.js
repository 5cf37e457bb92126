// The console: the registers, and a register's goods table, chosen by the
// address's fragment (#/ and #/registers/ID).

import { json, runJob, setTokenAsker, ApiError } from "./api.js";
import { askToken } from "./dialogs.js";
import { el, replace, say } from "./dom.js";
import { showGoods } from "./goods.js";

const STATES = { idle: "свободна", busy: "занята" };

function propertiesText(detail) {
    if (detail.properties) {
        const p = detail.properties;
        return p.deviceName + ", заводской номер " + p.serialNumber + ", товаров до " + p.maxGoods;
    }
    if (detail.error) {
        return "Нет ответа: " + detail.error.message;
    }
    return "Свойства ещё читаются";
}

async function fillProperties(id, cell) {
    try {
        const detail = await json("GET", "/api/v1/registers/" + encodeURIComponent(id) + "?wait=10");
        cell.textContent = propertiesText(detail);
    } catch (e) {
        cell.textContent = "Нет ответа: " + e.message;
    }
}

function foundTable(found) {
    if (found.length === 0) {
        return el("p", { text: "ККМ не найдены." });
    }
    return el("table", { class: "plain" },
        el("caption", { text: "Найденные ККМ" }),
        el("thead", {}, el("tr", {}, ["Порт", "Скорость", "Сеть", "Модель", "Заводской номер"].map(
            (title) => el("th", { scope: "col", text: title })))),
        el("tbody", {}, found.map((f) => el("tr", {},
            [f.port, f.baud, f.net, f.deviceName, f.serialNumber].map((v) => el("td", { text: String(v) }))))));
}

async function detect(button, status, output) {
    button.disabled = true;
    say(status, "Идёт поиск ККМ на портах…");
    replace(output);
    try {
        const job = await runJob("POST", "/api/v1/detect", {}, () => {}, (p) => {
            if (p.max > 0) {
                say(status, "Идёт поиск ККМ: " + p.position + " из " + p.max);
            }
        });
        if (job.state !== "succeeded") {
            say(status, "Поиск не удался: " + (job.error ? job.error.message : job.state), "error");
            return;
        }
        const found = (job.result && job.result.found) || [];
        say(status, "Поиск закончен, найдено ККМ: " + found.length, "ok");
        replace(output, foundTable(found));
    } catch (e) {
        if (e instanceof ApiError && (e.status === 404 || e.status === 405)) {
            say(status, "Эта служба не умеет искать ККМ: добавьте кассу в её настройки (--register).", "error");
        } else {
            say(status, "Поиск не удался: " + e.message, "error");
        }
    } finally {
        button.disabled = false;
    }
}

async function showRegisters(main) {
    const status = el("p", { class: "message", role: "status", "aria-live": "polite", hidden: true });
    const output = el("div");
    const detectButton = el("button", { type: "button", text: "Найти ККМ" });
    detectButton.addEventListener("click", () => detect(detectButton, status, output));
    const list = el("div", { class: "registers" }, el("p", { text: "Загрузка…" }));
    replace(main, el("h1", { text: "Кассы" }), el("div", { class: "toolbar" }, detectButton), status, output, list);
    document.title = "Кассы — Zarvik-12M";
    let registers;
    try {
        registers = (await json("GET", "/api/v1/registers")).registers;
    } catch (e) {
        replace(list, el("p", { class: "message error", text: "Список касс не получен: " + e.message }));
        return;
    }
    if (registers.length === 0) {
        replace(list, el("p", { text: "Служба не знает ни одной кассы." }));
        return;
    }
    replace(list, el("table", { class: "plain", id: "registers" },
        el("caption", { text: "Кассы службы" }),
        el("thead", {}, el("tr", {}, ["Касса", "Линия", "Состояние", "Свойства"].map(
            (title) => el("th", { scope: "col", text: title })))),
        el("tbody", {}, registers.map((r) => {
            const properties = el("td", { text: "Читаются…" });
            fillProperties(r.id, properties);
            return el("tr", { "data-register": r.id },
                el("td", {}, el("a", { href: "#/registers/" + encodeURIComponent(r.id), text: r.id })),
                el("td", { text: r.port + ", " + r.baud + " бод, сеть " + r.net }),
                el("td", { text: (STATES[r.state] || r.state) + (r.queued ? ", в очереди " + r.queued : "") }),
                properties);
        }))));
}

function route() {
    const main = document.getElementById("main");
    const found = /^#\/registers\/([^/]+)$/.exec(location.hash);
    if (found) {
        showGoods(main, decodeURIComponent(found[1]));
    } else {
        showRegisters(main);
    }
}

setTokenAsker(askToken);
window.addEventListener("hashchange", route);
route();

