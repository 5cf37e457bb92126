// The page's two questions, each a modal dialog of index.html: the access
// token, and the factory number that confirms a clear.

// Shows the dialog and resolves with what submit gives (accept(input)
// returning non-null) or null when cancelled (the button or Escape).
function ask(dialogId, { input, form, cancel, accept, onInput }) {
    const dialog = document.getElementById(dialogId);
    return new Promise((resolve) => {
        const finish = (value) => {
            form.removeEventListener("submit", onSubmit);
            cancel.removeEventListener("click", onCancel);
            dialog.removeEventListener("cancel", onCancel);
            if (onInput) {
                input.removeEventListener("input", onInput);
            }
            dialog.close();
            resolve(value);
        };
        const onSubmit = (event) => {
            event.preventDefault();
            const value = accept(input.value.trim());
            if (value !== null) {
                finish(value);
            }
        };
        const onCancel = (event) => {
            event.preventDefault();
            finish(null);
        };
        form.addEventListener("submit", onSubmit);
        cancel.addEventListener("click", onCancel);
        dialog.addEventListener("cancel", onCancel);
        if (onInput) {
            input.addEventListener("input", onInput);
        }
        dialog.showModal();
        input.focus();
    });
}

// The token, or null; again: the last one was refused.
export function askToken(again) {
    const input = document.getElementById("token-input");
    document.getElementById("token-hint").textContent = again
        ? "Служба не приняла этот токен. Введите верный токен доступа."
        : "Служба просит токен доступа. Он хранится в браузере до закрытия вкладки.";
    input.value = "";
    return ask("token-dialog", {
        input,
        form: document.getElementById("token-form"),
        cancel: document.getElementById("token-cancel"),
        accept: (value) => (value ? value : null),
    });
}

// Whether the user typed the register's factory number and confirmed.
export async function confirmBySerial(registerId, serial) {
    const input = document.getElementById("clear-input");
    const confirmButton = document.getElementById("clear-confirm");
    document.getElementById("clear-hint").textContent = "Все товары кассы " + registerId + " будут стёрты. " +
        "Для подтверждения введите заводской номер ККМ: " + serial + ".";
    input.value = "";
    confirmButton.disabled = true;
    const answer = await ask("clear-dialog", {
        input,
        form: document.getElementById("clear-form"),
        cancel: document.getElementById("clear-cancel"),
        accept: (value) => (value === serial ? true : null),
        onInput: () => {
            confirmButton.disabled = input.value.trim() !== serial;
        },
    });
    return answer === true;
}
