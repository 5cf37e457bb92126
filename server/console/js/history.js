// A register's job history and the snapshots of its earlier reads.

import { json, ApiError } from "./api.js";
import { el, replace } from "./dom.js";

const KINDS = { read: "Чтение", write: "Запись", clear: "Очистка", properties: "Свойства", detect: "Поиск ККМ" };
const STATES = {
    queued: "в очереди",
    running: "идёт",
    succeeded: "выполнено",
    failed: "ошибка",
    cancelled: "остановлено",
    interrupted: "прервано",
};

function when(text) {
    if (!text) {
        return "";
    }
    const date = new Date(text);
    return Number.isNaN(date.getTime()) ? String(text) : date.toLocaleString("ru-RU");
}

export async function showHistory(section, registerId) {
    const titleNode = el("h2", { id: "history-title", text: "Задания" });
    let jobs;
    try {
        jobs = (await json("GET", "/api/v1/jobs?register=" + encodeURIComponent(registerId))).jobs;
    } catch (e) {
        replace(section, titleNode, el("p", { class: "message error", text: "Задания не получены: " + e.message }));
        return;
    }
    if (jobs.length === 0) {
        replace(section, titleNode, el("p", { text: "Заданий ещё не было." }));
        return;
    }
    replace(section, titleNode, el("div", { class: "table-box" }, el("table", { class: "plain", id: "jobs" },
        el("caption", { class: "visually-hidden", text: "Задания кассы " + registerId }),
        el("thead", {}, el("tr", {}, ["Создано", "Что", "Состояние", "Товары", "Сообщение"].map(
            (t) => el("th", { scope: "col", text: t })))),
        el("tbody", {}, jobs.map((job) => el("tr", { "data-state": job.state },
            el("td", { text: when(job.created) }),
            el("td", { text: KINDS[job.kind] || job.kind }),
            el("td", { text: STATES[job.state] || job.state }),
            el("td", { text: job.max > 0 ? job.position + " из " + job.max : "" }),
            el("td", { text: job.error ? job.error.message : "" })))))));
}

export async function showSnapshots(section, page, actions) {
    const titleNode = el("h2", { id: "snapshots-title", text: "Снимки прежних чтений" });
    let list;
    try {
        list = (await json("GET", page.base + "/snapshots")).snapshots;
    } catch (e) {
        const missing = e instanceof ApiError && (e.status === 404 || e.status === 405);
        replace(section, titleNode, el("p", {
            text: missing ? "Эта служба не хранит снимков таблицы." : "Снимки не получены: " + e.message,
        }));
        return;
    }
    if (!list || list.length === 0) {
        replace(section, titleNode, el("p", { text: "Снимков пока нет: снимок сохраняется при каждом чтении." }));
        return;
    }
    replace(section, titleNode, el("ul", { class: "snapshots" }, list.map((snapshot) => {
        const button = el("button", { type: "button", text: "Восстановить",
            "aria-label": "Восстановить снимок от " + when(snapshot.created) });
        button.addEventListener("click", () => {
            if (actions.busy()) {
                return;
            }
            // eslint-disable-next-line no-alert
            if (window.confirm("Записать в ККМ таблицу снимка от " + when(snapshot.created) + " (товаров: " +
                snapshot.count + ")?")) {
                actions.restore(snapshot);
            }
        });
        const label = when(snapshot.created) + " — товаров: " + snapshot.count + " ";
        return el("li", {}, el("span", { text: label }), button);
    })));
}
