// Runs the Khronos glTF validator on each file named on the command line and
// prints, per file, one summary line ("<file> errors E warnings W infos I hints H")
// followed by one indented line per error or warning. The validator's folder
// (where npm installed it) comes first. Exit status 2: the validator is missing.
'use strict';
const fs = require('fs');
const path = require('path');

let validator;
try {
  validator = require(path.join(process.argv[2], 'node_modules', 'gltf-validator'));
} catch (e) {
  console.log('no validator: ' + e.message);
  process.exit(2);
}

// A .gltf's .bin is read from beside it, by its URI's decoded name.
function externalResource(file) {
  return (uri) => fs.promises.readFile(path.resolve(path.dirname(file), decodeURIComponent(uri)));
}

async function validate(file) {
  const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
    uri: path.basename(file),
    maxIssues: 0,
    externalResourceFunction: externalResource(file),
  });
  const issues = report.issues;
  console.log(`${file} errors ${issues.numErrors} warnings ${issues.numWarnings} ` +
              `infos ${issues.numInfos} hints ${issues.numHints}`);
  for (const message of issues.messages)
    if (message.severity <= 1) console.log(`  ${message.code} ${message.pointer || ''} ${message.message}`);
}

(async () => {
  for (const file of process.argv.slice(3)) {
    try {
      await validate(file);
    } catch (e) {
      console.log(`${file} not validated: ${e}`);
    }
  }
})();
