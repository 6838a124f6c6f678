"use strict";
// The catalog viewer: decodes the page's data and shows it.
document.getElementById("catalog-status").textContent = "This catalog was written without its viewer.";
