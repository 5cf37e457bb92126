// The service's API: the token asked once and kept for the browser's
// session, jobs followed through their event stream or, where the service
// has none, by asking for the job again.

const TOKEN_KEY = "zarvik12m-token";
const FINISHED = ["succeeded", "failed", "cancelled", "interrupted"];
const POLL_MS = 250;

let askToken = null;
let asking = null; // the question on screen, shared by every request that waits for it

export function setTokenAsker(asker) {
    askToken = asker;
}

export function token() {
    try {
        return sessionStorage.getItem(TOKEN_KEY) || "";
    } catch (e) {
        return "";
    }
}

function keepToken(value) {
    try {
        sessionStorage.setItem(TOKEN_KEY, value);
    } catch (e) {
        // A browser without session storage asks again next time.
    }
}

export class ApiError extends Error {
    constructor(status, message, body) {
        super(message);
        this.status = status;
        this.body = body;
    }
}

export function isFinished(state) {
    return FINISHED.includes(state);
}

// { status, headers, body } for any answer but 401 (then the token is asked
// for and the request repeated).
export async function request(method, path, { body, contentType, headers = {} } = {}) {
    for (;;) {
        const all = Object.assign({ Accept: "application/json" }, headers);
        if (token()) {
            all.Authorization = "Bearer " + token();
        }
        let payload;
        if (body !== undefined) {
            if (contentType) {
                payload = body;
                all["Content-Type"] = contentType;
            } else {
                payload = JSON.stringify(body);
                all["Content-Type"] = "application/json";
            }
        }
        let answer;
        try {
            answer = await fetch(path, { method, headers: all, body: payload, cache: "no-store" });
        } catch (e) {
            throw new ApiError(0, "Служба не отвечает: " + e.message, null);
        }
        const text = await answer.text();
        let parsed = null;
        try {
            parsed = text ? JSON.parse(text) : null;
        } catch (e) {
            parsed = null;
        }
        if (answer.status === 401 && askToken) {
            if (!asking) {
                asking = askToken(Boolean(token())).finally(() => {
                    asking = null;
                });
            }
            const given = await asking;
            if (given === null) {
                throw new ApiError(401, "Нужен токен доступа", parsed);
            }
            keepToken(given);
            continue;
        }
        return { status: answer.status, headers: answer.headers, body: parsed };
    }
}

export function errorText(answer) {
    const body = answer.body;
    if (body && body.error && body.error.message) {
        return body.error.message;
    }
    return "Служба ответила " + answer.status;
}

// The JSON of a 2xx answer; an ApiError for any other.
export async function json(method, path, options) {
    const answer = await request(method, path, options);
    if (answer.status < 200 || answer.status > 299) {
        throw new ApiError(answer.status, errorText(answer), answer.body);
    }
    return answer.body;
}

function sleep(ms) {
    return new Promise((resolve) => setTimeout(resolve, ms));
}

async function pollJob(id, onProgress) {
    for (;;) {
        const job = await json("GET", "/api/v1/jobs/" + encodeURIComponent(id));
        onProgress(job);
        if (isFinished(job.state)) {
            return job;
        }
        await sleep(POLL_MS);
    }
}

// The job once it has ended, with onProgress told of each change before.
export function followJob(id, onProgress = () => {}) {
    return new Promise((resolve, reject) => {
        if (typeof EventSource !== "function") {
            pollJob(id, onProgress).then(resolve, reject);
            return;
        }
        const query = token() ? "?access_token=" + encodeURIComponent(token()) : "";
        const source = new EventSource("/api/v1/jobs/" + encodeURIComponent(id) + "/events" + query);
        let done = false;
        source.addEventListener("progress", (event) => {
            try {
                onProgress(JSON.parse(event.data));
            } catch (e) {
                // A progress line that does not parse is skipped.
            }
        });
        source.addEventListener("end", (event) => {
            done = true;
            source.close();
            try {
                resolve(JSON.parse(event.data));
            } catch (e) {
                pollJob(id, onProgress).then(resolve, reject);
            }
        });
        source.addEventListener("error", () => {
            if (done) {
                return;
            }
            // No stream (an older service) or a broken one: ask instead.
            done = true;
            source.close();
            pollJob(id, onProgress).then(resolve, reject);
        });
    });
}

// Submits a job (?wait=0) and follows it: resolves with the ended job, or
// throws an ApiError (422 holds "problems").
export async function runJob(method, path, options, onStarted, onProgress) {
    const separator = path.includes("?") ? "&" : "?";
    const answer = await request(method, path + separator + "wait=0", options);
    if (answer.status === 202 && answer.body && answer.body.id) {
        onStarted(answer.body);
        return followJob(answer.body.id, onProgress);
    }
    if (answer.status === 200 && answer.body) {
        // Ended at once: the answer holds the result and the job's id.
        if (answer.body.job) {
            return json("GET", "/api/v1/jobs/" + encodeURIComponent(answer.body.job));
        }
        return { state: "succeeded", result: answer.body };
    }
    throw new ApiError(answer.status, errorText(answer), answer.body);
}

export function randomKey() {
    const bytes = new Uint8Array(16);
    crypto.getRandomValues(bytes);
    return Array.from(bytes, (b) => b.toString(16).padStart(2, "0")).join("");
}
