// Prints what an independent Jet reader sees in FILE, one item a line: "password P"
// (or "password -"), "tables A,B", and with TABLE and FIELD "rows N" and then each
// value as "null" or "hex <bytes>" (Memo text as its UTF-8 bytes).
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const [file, tableName, fieldName] = process.argv.slice(2);
const reader = new MDBReader(readFileSync(file));
const lines = [`password ${reader.getPassword() ?? "-"}`, `tables ${reader.getTableNames().join(",")}`];
if (tableName) {
  const table = reader.getTable(tableName);
  lines.push(`rows ${table.rowCount}`);
  for (const row of table.getData({ columns: [fieldName] })) {
    const v = row[fieldName];
    if (v === null || v === undefined) lines.push("null");
    else lines.push(`hex ${(Buffer.isBuffer(v) ? v : Buffer.from(String(v), "utf8")).toString("hex")}`);
  }
}
process.stdout.write(lines.join("\n") + "\n");
