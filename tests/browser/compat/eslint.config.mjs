// The page's scripts against MDN's data on the browsers package.json names.
import compat from 'eslint-plugin-compat';

export default [
  {
    files: ['**/*.js'],
    languageOptions: { ecmaVersion: 'latest', sourceType: 'module' },
    plugins: { compat },
    rules: { 'compat/compat': 'error' },
  },
];
